// The window's toolkit-free rules: the enabling table, the deferred view's replay order, the
// processor load, the column widths and the information texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "ControlIds.h"
#include "CpuLoad.h"
#include "DeferredView.h"
#include "Enabling.h"
#include "FileListView.h"
#include "InfoText.h"

namespace recast::ui {
namespace {

using namespace ids;

Enabling For(ConvertState state, int rows, int position = 1, OutputKind kind = OutputKind::Wmv) {
  return ComputeEnabling({.context = {state, rows, position}, .kind = kind});
}

// The value the answer gives a control, or nothing when it keeps its previous enabling.
std::optional<bool> Of(const Enabling& e, int id) {
  const auto found = e.controls.find(id);
  return found == e.controls.end() ? std::nullopt : std::optional(found->second);
}

std::optional<bool> MenuOf(const Enabling& e, int id) {
  const auto found = e.menu.find(id);
  return found == e.menu.end() ? std::nullopt : std::optional(found->second);
}

TEST(EnablingTest, IdleAndLoadedRowsByRowCount) {
  const Enabling empty = For(ConvertState::Idle, 0);
  for (int id : {kAddFile, kAddFolder, kWmvRadio, kAviRadio, kWmvPicture, kAviPicture})
    EXPECT_EQ(true, Of(empty, id)) << id;
  for (int id : {kDeleteFile, kFileUp, kFileDown, kVideoSet, kAudioSet, kStart, kStop, kClear,
                 kSourcePath, kOutputPath, kPreviewPlay})
    EXPECT_EQ(false, Of(empty, id)) << id;

  const Enabling idleRows = For(ConvertState::Idle, 3, 2);
  for (int id : {kDeleteFile, kStart, kClear, kSourcePath, kFileUp, kFileDown}) EXPECT_EQ(true, Of(idleRows, id)) << id;
  for (int id : {kVideoSet, kAudioSet, kStop}) EXPECT_EQ(false, Of(idleRows, id)) << id;
  EXPECT_EQ(false, Of(For(ConvertState::Idle, 3, 1), kFileUp));
  EXPECT_EQ(false, Of(For(ConvertState::Idle, 3, 3), kFileDown));

  for (ConvertState state : {ConvertState::Loaded, ConvertState::Ready}) {
    const Enabling one = For(state, 1);
    for (int id : {kAddFile, kDeleteFile, kStart, kClear, kVideoSet, kAudioSet, kPreviewPlay, kWmvRadio})
      EXPECT_EQ(true, Of(one, id)) << id;
    for (int id : {kStop, kFileUp, kFileDown, kPreviewPause, kPreviewStep, kPreviewStop})
      EXPECT_EQ(false, Of(one, id)) << id;
    const Enabling several = For(state, 3, 3);
    for (int id : {kVideoSet, kAudioSet, kStop, kFileDown}) EXPECT_EQ(false, Of(several, id)) << id;
    EXPECT_EQ(true, Of(several, kFileUp));
  }
  const Enabling deletedAll = For(ConvertState::Loaded, 0);
  for (int id : {kDeleteFile, kStart, kClear, kVideoSet, kPreviewPlay}) EXPECT_EQ(false, Of(deletedAll, id)) << id;
  EXPECT_EQ(true, Of(deletedAll, kSourcePath));
}

TEST(EnablingTest, ConvertingStoppedFinishedAndParamError) {
  const Enabling converting = For(ConvertState::Converting, 2, 1);
  for (int id : {kAddFile, kAddFolder, kDeleteFile, kFileUp, kFileDown, kVideoSet, kAudioSet,
                 kStart, kClear, kWmvRadio, kAviPicture, kRateCombo, kPreviewPlay, kPreviewStep})
    EXPECT_EQ(false, Of(converting, id)) << id;
  for (int id : {kStop, kSourcePath, kOutputPath, kInfoTabs}) EXPECT_EQ(true, Of(converting, id)) << id;
  for (int id : {kMenuAddFile, kMenuStart, kMenuVideoSet, kMenuPreview, kMenuClear})
    EXPECT_EQ(false, MenuOf(converting, id)) << id;
  EXPECT_EQ(true, MenuOf(converting, kMenuFileInfo));

  const Enabling stopped = For(ConvertState::Stopped, 2, 2);
  for (int id : {kAddFile, kDeleteFile, kStart, kClear, kFileUp, kPreviewPlay}) EXPECT_EQ(true, Of(stopped, id)) << id;
  for (int id : {kStop, kVideoSet, kFileDown, kPreviewPause}) EXPECT_EQ(false, Of(stopped, id)) << id;

  const Enabling finished = For(ConvertState::Finished, 2, 2);
  for (int id : {kAddFolder, kDeleteFile, kClear, kWmvRadio, kRateCombo, kPreviewPlay})
    EXPECT_EQ(true, Of(finished, id)) << id;
  for (int id : {kStart, kStop, kFileDown, kVideoSet, kSourcePath}) EXPECT_EQ(false, Of(finished, id)) << id;
  for (int id : {kMenuAddFile, kMenuAddFolder, kMenuFileInfo}) EXPECT_EQ(true, MenuOf(finished, id)) << id;
  for (int id : {kMenuDelete, kMenuStart, kMenuPreview, kMenuUp}) EXPECT_EQ(false, MenuOf(finished, id)) << id;

  const Enabling paramError = For(ConvertState::ParamError, 1);
  for (int id : {kAddFolder, kClear, kSourcePath}) EXPECT_EQ(true, Of(paramError, id)) << id;
  for (int id : {kAddFile, kStart, kVideoSet, kWmvRadio, kPreviewPlay}) EXPECT_EQ(false, Of(paramError, id)) << id;
  EXPECT_EQ(true, MenuOf(paramError, kMenuFileInfo));
  EXPECT_EQ(false, MenuOf(paramError, kMenuVideoSet));
}

TEST(EnablingTest, PreviewButtonsAndRateCombo) {
  EnablingInput input{.context = {ConvertState::Loaded, 1, 1}, .previewOpen = true,
                      .previewMode = PreviewMode::Playing};
  Enabling playing = ComputeEnabling(input);
  EXPECT_EQ(false, Of(playing, kPreviewPlay));
  for (int id : {kPreviewPause, kPreviewStop, kPreviewStep}) EXPECT_EQ(true, Of(playing, id)) << id;
  for (PreviewMode mode : {PreviewMode::Paused, PreviewMode::Stepping}) {
    input.previewMode = mode;
    const Enabling held = ComputeEnabling(input);
    EXPECT_EQ(true, Of(held, kPreviewPlay));
    EXPECT_EQ(false, Of(held, kPreviewPause));
    EXPECT_EQ(true, Of(held, kPreviewStep));
  }
  // The combo: with WMV whenever nothing converts, never with AVI.
  EXPECT_EQ(true, Of(For(ConvertState::Idle, 2), kRateCombo));
  EXPECT_EQ(true, Of(For(ConvertState::ParamError, 1), kRateCombo));
  EXPECT_EQ(false, Of(For(ConvertState::Loaded, 1, 1, OutputKind::Avi), kRateCombo));
  EXPECT_EQ(kStart, ButtonOfMenuItem(kMenuStart));
  // A copy has nothing to set: no rate mode, no encoder pages, in any state; its radio and
  // picture follow the output kind's rules.
  for (const auto& [state, rows] : {std::pair{ConvertState::Loaded, 1}, std::pair{ConvertState::Idle, 2},
                                    std::pair{ConvertState::Finished, 1}}) {
    const Enabling copy = For(state, rows, 1, OutputKind::Mp4);
    for (int id : {kVideoSet, kAudioSet, kRateCombo}) EXPECT_EQ(false, Of(copy, id)) << id;
    for (int id : {kMp4Radio, kMp4Picture, kWmvRadio}) EXPECT_EQ(true, Of(copy, id)) << id;
  }
  EXPECT_EQ(true, Of(For(ConvertState::Loaded, 1, 1, OutputKind::Mp4), kStart));
  for (int id : {kMp4Radio, kMp4Picture})
    EXPECT_EQ(false, Of(For(ConvertState::Converting, 1, 1, OutputKind::Mp4), id)) << id;
  EXPECT_EQ(kPreviewPlay, ButtonOfMenuItem(kMenuPreview));
  EXPECT_EQ(0, ButtonOfMenuItem(kMenuFileInfo));
}

// Records what reaches the window, and replays nested: a message box runs an event loop in
// which the next call's view calls are flushed.
class RecordingView final : public IDriverView {
 public:
  std::vector<std::string> calls;
  std::function<void()> onMessage;
  void InsertRow(int row) override { calls.push_back("insert " + std::to_string(row)); }
  void DeleteRow(int) override {}
  void DeleteAllRows() override {}
  void SetCellText(int row, int column, std::string_view text) override {
    calls.push_back("text " + std::to_string(row) + "," + std::to_string(column) + " " + std::string(text));
  }
  void SetIcon(int, int) override {}
  void SetCellColour(int, int, CellColour) override {}
  void RedrawRow(int) override {}
  void RedrawList() override {}
  void SelectRow(int) override {}
  void DeselectRow(int) override {}
  void DeselectAll() override {}
  void ShowMessage(std::string_view text, std::string_view) override {
    calls.push_back("message " + std::string(text));
    if (onMessage) onMessage();
  }
  void ShowPaths(std::string_view, std::string_view) override {}
  void RefreshControls(const ControlContext&) override {}
  void SetMoveUpEnabled(bool) override {}
  void RefreshInfoPages() override {}
  void ResetPreviewSlider() override {}
};

TEST(DeferredViewTest, ReplaysInOrderEvenWhenAMessageFlushesAgain) {
  RecordingView target;
  DeferredView deferred(target);
  deferred.InsertRow(0);
  std::string text = "first";
  deferred.SetCellText(0, 1, text);
  text = "changed";  // the recording owns its copy
  deferred.ShowMessage("note", "Attention");
  deferred.SetCellText(0, 4, "after");
  target.onMessage = [&] {
    deferred.SetCellText(0, 3, "during");
    deferred.Flush();  // nested: left to the outer flush
  };
  EXPECT_TRUE(target.calls.empty());
  deferred.Flush();
  const std::vector<std::string> expected{"insert 0", "text 0,1 first", "message note",
                                          "text 0,4 after", "text 0,3 during"};
  EXPECT_EQ(expected, target.calls);
  EXPECT_FALSE(deferred.Pending());
}

TEST(CpuLoadTest, LoadIsTheNonIdleShareBetweenSamples) {
  const auto first = ParseCpuTimes("cpu  100 0 100 700 100 0 0 0 0 0\ncpu0 1 2 3 4\n");
  ASSERT_TRUE(first);
  EXPECT_EQ(800u, first->idle);
  EXPECT_EQ(1000u, first->total);
  const auto second = ParseCpuTimes("cpu  250 0 250 1000 100 0 0 0 0 0\n");
  ASSERT_TRUE(second);
  EXPECT_EQ(50, CpuLoad::LoadBetween(*first, *second));
  EXPECT_EQ(0, CpuLoad::LoadBetween(*second, *first));  // counters went back: no reading
  EXPECT_FALSE(ParseCpuTimes("intr 1 2 3"));
  EXPECT_FALSE(ParseCpuTimes("cpu  1 2"));

  const std::string path = ::testing::TempDir() + "recast_stat";
  std::ofstream(path) << "cpu  100 0 100 700 100 0 0 0\n";
  CpuLoad load(path);
  EXPECT_FALSE(load.Sample());  // the first sample only stores the counters
  std::ofstream(path) << "cpu  200 0 100 800 100 0 0 0\n";
  EXPECT_EQ(std::optional(50), load.Sample());
  std::remove(path.c_str());
  EXPECT_FALSE(CpuLoad("/nonexistent/stat").Sample());
}

TEST(ColumnWidthsTest, SharesOfTheUsableWidthAndTheRestLast) {
  const std::array<int, 6> widths = ColumnWidths(660, 18);
  // usable = 660 - 2 - 18 = 640
  EXPECT_EQ((std::array<int, 6>{60, 100, 100, 140, 140, 98}), widths);
  EXPECT_EQ((std::array<int, 6>{0, 0, 0, 0, 0, 0}), ColumnWidths(10, 18));
}

TEST(InfoTextTest, PagesAndDialogShowTheirFormats) {
  DriverSnapshot driver;
  driver.currentRowPath = "/rec/ch01.264";
  driver.sourceKind = SourceKind::H264;
  driver.currentRecord = JobRecord{"/rec/ch01.264", 352, 288, 10'485'760, 25};
  driver.settings.bitRateKbps = 858;
  driver.settings.quality = 70;
  driver.settings.width = 704;
  driver.settings.height = 576;
  const InfoInput input{driver, {.duration = 100 * 10'000'000LL, .decodedWidth = 352, .decodedHeight = 288}};

  const InfoFields source = SourcePage(input);
  EXPECT_EQ("/rec/ch01.264", source.path);
  EXPECT_EQ("00::01::40", source.duration);
  EXPECT_EQ("858kbps(CBR)", source.rate);
  EXPECT_EQ("264 file", source.format);
  EXPECT_EQ("352 * 288", source.size);
  EXPECT_EQ("25fps", source.frameRate);

  // Before the file is prepared the output size is the decoded one; afterwards the dialog's.
  EXPECT_EQ("352 * 288", DestinationPage(input).size);
  driver.converterPath = driver.currentRowPath;
  EXPECT_EQ("To WMV", DestinationPage(input).format);
  EXPECT_EQ("704 * 576", DestinationPage(input).size);
  EXPECT_EQ("Convert To WMV", FileInfoFields(input).format);

  // A VBR quality keeps its own format on every page.
  driver.cbr = false;
  EXPECT_EQ("70(VBR)", PreviewPage(input).rate);
  EXPECT_EQ("70(VBR)", FileInfoFields(input).rate);
  EXPECT_EQ("704 * 576", PreviewPage(input).size);

  driver.kind = OutputKind::Avi;
  EXPECT_EQ("AVI ,no this para!", DestinationPage(input).rate);
  EXPECT_EQ("To AVI", DestinationPage(input).format);
  EXPECT_EQ("AVI format,no this para!", FileInfoFields(input).rate);
  EXPECT_EQ("Convert To AVI", FileInfoFields(input).format);
  EXPECT_EQ(kAudioLines, FileInfoFields(input).audio);

  // A copy keeps the decoded size whatever the dialog holds; its sound is AAC on the destination
  // only.
  driver.kind = OutputKind::Mp4;
  EXPECT_EQ("Copied, no re-encoding", DestinationPage(input).rate);
  EXPECT_EQ("To MP4", DestinationPage(input).format);
  EXPECT_EQ("352 * 288", DestinationPage(input).size);
  EXPECT_EQ("Video copied, no re-encoding", FileInfoFields(input).rate);
  EXPECT_EQ(kMp4AudioLines, FileInfoFields(input).audio);
  EXPECT_EQ(kMp4AudioLines, DestinationPage(input).audio);
  EXPECT_EQ(kAudioLines, SourcePage(input).audio);
  EXPECT_EQ(kAudioLines, PreviewPage(input).audio);
}

}  // namespace
}  // namespace recast::ui
