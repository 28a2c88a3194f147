#include <gtest/gtest.h>

#include "VideoSetDlg.h"

namespace recast {
namespace {

TEST(VideoSetDlg, PresetsTakeTheHeightOfTheStandard) {
  VideoSettings settings;
  CVideoSetDlg dialog(settings);
  dialog.OnCreate();
  dialog.ChoosePreset(*PresetComboItem(".2CIF"));  // presets are off until enabled
  EXPECT_EQ(0, settings.width);

  dialog.EnablePresets();
  settings.ntsc = true;
  dialog.ChoosePreset(*PresetComboItem(".2CIF"));
  EXPECT_EQ(704, settings.width);
  EXPECT_EQ(240, settings.height);
  EXPECT_EQ("240", dialog.Controls().height.text);
  settings.ntsc = false;
  dialog.ChoosePreset(*PresetComboItem(".4CIF"));
  EXPECT_EQ(576, settings.height);
  dialog.ChoosePreset(0);  // the empty item
  EXPECT_EQ(576, settings.height);
  EXPECT_FALSE(PresetComboItem("4CIF"));
}

TEST(VideoSetDlg, SeveralFilesLeaveTheModeToTheMainWindow) {
  VideoSettings settings;
  settings.bitRateKbps = 858;
  CVideoSetDlg dialog(settings);
  dialog.SetRateMode(true, true);
  EXPECT_TRUE(dialog.Controls().cbr.checked);
  EXPECT_FALSE(dialog.Controls().vbr.enabled);
  EXPECT_EQ("858", dialog.Controls().bitRate.text);
  EXPECT_EQ("85", dialog.Controls().quality.text);
  dialog.ClickVbr();  // disabled: nothing happens
  EXPECT_TRUE(settings.cbr);

  dialog.SetRateMode(false, true);  // the main window's combo box
  EXPECT_FALSE(settings.cbr);
  EXPECT_TRUE(dialog.Controls().vbr.checked);
  EXPECT_FALSE(dialog.Controls().cbr.enabled);
  EXPECT_TRUE(dialog.Controls().quality.enabled);
  EXPECT_FALSE(dialog.Controls().bitRate.enabled);

  dialog.SetRateMode(false, false);
  dialog.ClickCbr();
  EXPECT_TRUE(settings.cbr);
}

TEST(VideoSetDlg, OkTakesTheEditsAndTheQualityLimitIsShown) {
  VideoSettings settings;
  CVideoSetDlg dialog(settings);
  dialog.OnCreate();
  EXPECT_TRUE(dialog.Controls().wmv9.checked);
  EXPECT_FALSE(dialog.Controls().wmv8.enabled);
  dialog.Controls().quality.text = "120";
  dialog.Controls().width.text = "640";
  dialog.Controls().height.text = "48O";  // a typo leaves the field alone
  dialog.Ok();
  EXPECT_EQ(640, settings.width);
  EXPECT_EQ(0, settings.height);
  EXPECT_EQ(120u, settings.quality);
  dialog.LimitQuality();
  EXPECT_EQ(100u, settings.quality);
  EXPECT_EQ("100", dialog.Controls().quality.text);
}

TEST(VideoSetDlg, DisplayFormats) {
  EXPECT_EQ("858kbps(CBR)", FormatBitRate(858));
  EXPECT_EQ("85(VBR)", FormatQuality(85));
  EXPECT_EQ("352 * 288", FormatSize(352, 288));
  EXPECT_EQ("25fps", FormatFrameRate(25));
  EXPECT_EQ("384kbps(CBR)", FormatRate(OutputKind::Wmv, true, 384, 85, InfoPlace::InfoPage));
  EXPECT_EQ("70(VBR)", FormatRate(OutputKind::Wmv, false, 384, 70, InfoPlace::SourceFileInfo));
  EXPECT_EQ("AVI format,no this para!",
            FormatRate(OutputKind::Avi, true, 384, 70, InfoPlace::SourceFileInfo));
  EXPECT_EQ("AVI ,no this para!", FormatRate(OutputKind::Avi, false, 0, 0, InfoPlace::InfoPage));
  // A copy has no rate of its own, whatever the rate mode holds.
  EXPECT_EQ("Video copied, no re-encoding",
            FormatRate(OutputKind::Mp4, true, 384, 70, InfoPlace::SourceFileInfo));
  EXPECT_EQ("Copied, no re-encoding", FormatRate(OutputKind::Mkv, false, 0, 0, InfoPlace::InfoPage));
  EXPECT_EQ("Convert To AVI", FormatOutputKind(OutputKind::Avi, InfoPlace::SourceFileInfo));
  EXPECT_EQ("To WMV", FormatOutputKind(OutputKind::Wmv, InfoPlace::InfoPage));
}

}  // namespace
}  // namespace recast
