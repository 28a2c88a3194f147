// The preview over a render-only graph painting into the preview area, and the information
// pages and the Source File Info dialog for a known file.
#include <QApplication>
#include <QLineEdit>
#include <QThread>
#include <QSlider>

#include "ControlIds.h"
#include "InfoPages.h"
#include "PreviewArea.h"
#include "WindowHarness.h"

namespace recast::ui::test {
namespace {

using namespace ids;
namespace fs = std::filesystem;

class PreviewInfoTest : public WindowTest {
 protected:
  QString PageField(int page, int field) { return Window().Pages()->Page(page)->Text(field); }
  bool Playing() { return Window().PreviewOpen() && Window().PreviewModeNow() == PreviewMode::Playing; }
};

enum Field { kPath, kDuration, kRate, kFormat, kSize, kFrameRate };

TEST_F(PreviewInfoTest, PlayPaintsPicturesStepMovesTheSliderPauseHoldsIt) {
  const std::string source = Write("pv.mp4", 352, 288, 500, std::nullopt);
  AddFile(source);
  Click(kPreviewPlay);
  ASSERT_TRUE(WaitFor([&] { return Playing(); }));
  EXPECT_FALSE(Enabled(kPreviewPlay));
  for (int id : {kPreviewPause, kPreviewStop, kPreviewStep}) EXPECT_TRUE(Enabled(id)) << id;
  EXPECT_EQ(kPreviewPage, Window().Pages()->currentIndex());
  EXPECT_EQ(QString::fromStdString(source), PageField(kPreviewPage, kPath));
  EXPECT_EQ("352 * 288", PageField(kPreviewPage, kSize));

  // The recordings' pictures change from frame to frame, so two grabs apart differ.
  ASSERT_TRUE(WaitFor([&] { return Window().Preview()->PicturesReceived() > 3; }));
  const QImage first = Window().Preview()->grab().toImage();
  const int received = Window().Preview()->PicturesReceived();
  ASSERT_TRUE(WaitFor([&] { return Window().Preview()->PicturesReceived() > received + 5; }));
  QApplication::processEvents();
  const QImage second = Window().Preview()->grab().toImage();
  EXPECT_NE(first, second);
  EXPECT_NE(QColor(Qt::black).rgb(), second.pixel(second.width() / 2, second.height() / 2));

  // Rows cannot be clicked or added while a preview is open. (Opening the preview may have
  // started a look at the file for the pages; that one is let finish first.)
  ASSERT_TRUE(WaitIdle());
  Window().OnRowClicked(0);
  EXPECT_FALSE(Window().Busy());

  Click(kPreviewPause);
  EXPECT_EQ(PreviewMode::Paused, Window().PreviewModeNow());
  EXPECT_TRUE(Enabled(kPreviewPlay));
  EXPECT_FALSE(Enabled(kPreviewPause));
  QThread::msleep(200);
  QApplication::processEvents();
  const int held = Window().Slider()->value();
  const int painted = Window().Preview()->PicturesReceived();
  QThread::msleep(600);
  WaitFor([] { return false; }, std::chrono::milliseconds(600));
  EXPECT_EQ(held, Window().Slider()->value());
  EXPECT_LE(Window().Preview()->PicturesReceived(), painted + 1);

  // Steps move the position forward: 20 frames of a 20 s file are 2 % of it.
  const int before = Window().Preview()->PicturesReceived();
  for (int i = 0; i < 25; ++i) {
    Click(kPreviewStep);
    WaitFor([] { return false; }, std::chrono::milliseconds(40));
  }
  ASSERT_TRUE(WaitFor([&] { return Window().Slider()->value() > held; }, std::chrono::seconds(10)));
  EXPECT_GT(Window().Preview()->PicturesReceived(), before);
  EXPECT_EQ(PreviewMode::Stepping, Window().PreviewModeNow());

  Click(kPreviewStop);
  EXPECT_FALSE(Window().PreviewOpen());
  EXPECT_EQ(0, Window().Slider()->value());
  EXPECT_TRUE(Enabled(kPreviewPlay));
  for (int id : {kPreviewPause, kPreviewStop, kPreviewStep}) EXPECT_FALSE(Enabled(id)) << id;
  EXPECT_TRUE(PageField(kPreviewPage, kPath).isEmpty());
  // The preview wrote nothing.
  EXPECT_FALSE(fs::exists(source + "_OUTPUT.WMV"));
}

TEST_F(PreviewInfoTest, AFileThatCannotBePreviewedOnlyRefreshesTheControls) {
  AddFile(WriteJunk("junk.mp4"));
  Click(kPreviewPlay);
  ASSERT_TRUE(WaitIdle());
  EXPECT_FALSE(Window().PreviewOpen());
  EXPECT_EQ(ConvertState::Loaded, Window().Snapshot().state);
  EXPECT_TRUE(Enabled(kPreviewPlay));
  EXPECT_TRUE(shown_.empty());
}

TEST_F(PreviewInfoTest, PagesAndFileInfoDialogShowTheFile) {
  const std::string source = Write("info.264", 352, 288, 250);  // 10 s at 25 fps
  AddFile(source);
  Window().OnRowClicked(0);
  ASSERT_TRUE(WaitFor([&] { return !Window().Busy() && !PageField(kSourcePage, kDuration).isEmpty(); }));
  EXPECT_EQ(QString::fromStdString(source), PageField(kSourcePage, kPath));
  EXPECT_EQ("00::00::10", PageField(kSourcePage, kDuration));
  EXPECT_TRUE(PageField(kSourcePage, kRate).endsWith("kbps(CBR)"));
  EXPECT_EQ("264 file", PageField(kSourcePage, kFormat));
  EXPECT_EQ("352 * 288", PageField(kSourcePage, kSize));
  EXPECT_EQ("25fps", PageField(kSourcePage, kFrameRate));
  EXPECT_EQ("To WMV", PageField(kDestinationPage, kFormat));
  EXPECT_TRUE(PageField(kPreviewPage, kPath).isEmpty());

  Window().OnFileInfo();
  ASSERT_TRUE(WaitFor([&] { return Window().InfoDialog()->isVisible(); }));
  const InfoForm* dialog = Window().InfoDialog()->Form();
  EXPECT_EQ(QString::fromStdString(source), dialog->Text(kPath));
  EXPECT_EQ("00::00::10", dialog->Text(kDuration));
  EXPECT_EQ("Convert To WMV", dialog->Text(kFormat));
  EXPECT_EQ("352 * 288", dialog->Text(kSize));
  EXPECT_TRUE(dialog->Text(kRate).endsWith("kbps(CBR)"));
  EXPECT_NE(nullptr, Window().InfoDialog()->findChild<QLineEdit*>("1089"));
  Window().InfoDialog()->hide();

  Click(kAviRadio);
  ASSERT_TRUE(WaitIdle());
  AddFile(source);
  Window().OnFileInfo();
  ASSERT_TRUE(WaitFor([&] { return !Window().Busy() && dialog->Text(kFormat) == "Convert To AVI"; }));
  EXPECT_EQ("AVI format,no this para!", dialog->Text(kRate));
  Window().OnRowClicked(0);
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ("AVI ,no this para!", PageField(kDestinationPage, kRate));
}

// An MP4 output copies the pictures and encodes the sound to AAC: its destination says so,
// while the source page keeps describing the recording.
TEST_F(PreviewInfoTest, Mp4DestinationNamesTheCopyAndItsSound) {
  Click(kMp4Radio);
  ASSERT_TRUE(WaitIdle());
  const std::string source = Write("copy.mp4", 704, 576, 50);
  AddFile(source);
  Window().OnFileInfo();
  ASSERT_TRUE(WaitFor([&] { return Window().InfoDialog()->isVisible(); }));
  const InfoForm* dialog = Window().InfoDialog()->Form();
  EXPECT_EQ("Convert To MP4", dialog->Text(kFormat));
  EXPECT_EQ("Video copied, no re-encoding", dialog->Text(kRate));
  EXPECT_EQ("704 * 576", dialog->Text(kSize));
  for (int line = 0; line < 4; ++line)
    EXPECT_EQ(QString::fromUtf8(kMp4AudioLines[line].data()), dialog->AudioText(line)) << line;
  Window().InfoDialog()->hide();

  Window().OnRowClicked(0);
  ASSERT_TRUE(WaitFor([&] { return !Window().Busy() && PageField(kDestinationPage, kFormat) == "To MP4"; }));
  const InfoForm* destination = Window().Pages()->Page(kDestinationPage);
  EXPECT_EQ("Copied, no re-encoding", PageField(kDestinationPage, kRate));
  EXPECT_EQ("AAC", destination->AudioText(0));
  EXPECT_EQ("16KHZ", destination->AudioText(1));
  EXPECT_EQ("Single Channel", destination->AudioText(2));
  EXPECT_EQ("G722-16", Window().Pages()->Page(kSourcePage)->AudioText(0));
}

}  // namespace
}  // namespace recast::ui::test
