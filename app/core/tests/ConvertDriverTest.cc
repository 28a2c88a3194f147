#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "ConvertDriver.h"
#include "DriverHarness.h"
#include "DriverTexts.h"
#include "HeaderBytes.h"

using namespace recast;
using namespace recast::testing;

namespace {

constexpr size_t kPayload = 10'000;  // every file is 10 088 bytes
const std::string kSizeKb = std::to_string((kProbeSize + kPayload) >> 10);  // "9"
constexpr Rgb kGreen{128, 255, 0};
constexpr Rgb kPink{252, 218, 244};
constexpr Rgb kBlue{157, 206, 255};

using Names = std::vector<std::string>;

class DriverTest : public ::testing::Test {
 protected:
  // Adds ch1.mp4 .. chN.mp4, each finishing at its second reading unless scripted otherwise.
  Names AddFiles(int count, const HeaderSpec& fields = {}, int first = 1) {
    Names names;
    for (int i = first; i < first + count; ++i) {
      const std::string name = "ch" + std::to_string(i) + ".mp4";
      paths[name] = dir.Recording(name, fields, kPayload);
      script.progress[name] = {50, 100};
      EXPECT_TRUE(driver.AddFile(paths[name]));
      names.push_back(name);
    }
    return names;
  }
  void Tick(int times = 1) {
    for (int i = 0; i < times; ++i) driver.OnTimer(kDriverTimerId);
  }
  std::string Status(int row) const { return view.Cell(row, kColumnStatus); }
  Names Opened() const { return script.CallsOf("Open"); }

  TempDir dir;
  std::map<std::string, std::string> paths;
  ConverterScript script;
  RecordingView view;
  CConvertDriver driver{view, script.Factory()};
};

}  // namespace

TEST_F(DriverTest, StartFromThirdOfFiveConvertsOnlyTheRest) {
  AddFiles(5);
  driver.SelectRow(2);
  driver.Start();
  EXPECT_EQ(driver.State(), ConvertState::Converting);
  EXPECT_EQ(Opened(), Names{"ch3.mp4"});
  EXPECT_EQ(view.sourceField, paths["ch3.mp4"]);
  EXPECT_EQ(view.outputField, paths["ch3.mp4"] + "_OUTPUT.WMV");

  Tick();  // 50 %
  EXPECT_EQ(view.Cell(2, kColumnProgress), "50");
  EXPECT_EQ(Status(2), texts::kConverting);
  EXPECT_EQ(view.rows[2].icon, 1);
  for (const CellColour& colour : view.rows[2].colours) EXPECT_EQ(colour, kGreen);

  Tick();  // 100 %: ch3 done, ch4 starts
  EXPECT_EQ(Status(2), texts::kConvertSuccess);
  EXPECT_EQ(view.rows[2].icon, 3);
  for (const CellColour& colour : view.rows[2].colours) EXPECT_EQ(colour, std::nullopt);
  EXPECT_EQ(driver.CurrentPosition(), 4);
  EXPECT_TRUE(view.selected.count(3));

  Tick(4);
  EXPECT_EQ(Opened(), (Names{"ch3.mp4", "ch4.mp4", "ch5.mp4"}));
  EXPECT_EQ(driver.State(), ConvertState::Finished);
  EXPECT_EQ(Status(0), kSizeKb);
  EXPECT_EQ(Status(1), kSizeKb);
  for (int row = 2; row < 5; ++row) EXPECT_EQ(Status(row), texts::kConvertSuccess) << row;
  EXPECT_EQ(script.alive, 0);
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(DriverTest, FailedFilesAreMarkedAndTheWalkGoesOn) {
  script.openFails = {"ch2.mp4"};
  script.buildFails = {"ch4.mp4"};
  script.startFails = {"ch5.mp4"};
  AddFiles(2);
  // ch3 holds only its FileHeader: listed, but with no frame rate it cannot be prepared.
  std::vector<uint8_t> head = HeaderBytes({}, 0);
  head.resize(recorder::kFileHeaderSize);
  WriteBytes(dir.Path() / "ch3.mp4", head);
  EXPECT_TRUE(driver.AddFile((dir.Path() / "ch3.mp4").string()));
  EXPECT_EQ(view.Cell(2, kColumnStatus), "0");
  AddFiles(2, {}, 4);

  driver.SelectRow(0);
  driver.Start();
  Tick(2);  // ch1 completes; every other row fails at once
  EXPECT_EQ(Status(0), texts::kConvertSuccess);
  EXPECT_EQ(Status(1), texts::kCreateFailed);
  EXPECT_EQ(Status(2), texts::kCreateFailed);
  EXPECT_EQ(Status(3), texts::kCreateFailed);
  EXPECT_EQ(Status(4), texts::kConvertError);
  EXPECT_EQ(driver.State(), ConvertState::Finished);
  EXPECT_EQ(script.alive, 0);

  // A start failure clears the destination and progress and shows the error colours.
  const ViewRow& failed = view.rows[4];
  EXPECT_EQ(failed.cells[kColumnOutput], "");
  EXPECT_EQ(failed.cells[kColumnProgress], "");
  EXPECT_EQ(failed.icon, 2);
  EXPECT_EQ(failed.colours[kColumnStatus], kPink);
  EXPECT_EQ(failed.colours[kColumnSource], std::nullopt);
  EXPECT_FALSE(view.selected.count(4));
  // The header-less file was never started: preparation stops before building.
  EXPECT_EQ(script.CallsOf("Build"), (Names{"ch1.mp4", "ch4.mp4", "ch5.mp4"}));
}

TEST_F(DriverTest, StopShowsHandStopAndStartResumesTheSameRow) {
  AddFiles(3);
  script.progress["ch2.mp4"] = {40};
  driver.SelectRow(1);
  driver.Start();
  Tick();
  EXPECT_EQ(view.Cell(1, kColumnProgress), "40");

  driver.Stop();
  EXPECT_EQ(driver.State(), ConvertState::Stopped);
  EXPECT_EQ(Status(1), texts::kHandStop);
  EXPECT_EQ(view.rows[1].icon, 4);
  EXPECT_EQ(view.Cell(1, kColumnProgress), "");
  EXPECT_EQ(view.rows[1].colours[kColumnStatus], kBlue);
  EXPECT_EQ(view.rows[1].colours[kColumnSource], std::nullopt);
  EXPECT_EQ(script.CallsOf("Stop"), Names{"ch2.mp4"});
  EXPECT_EQ(script.alive, 0);
  EXPECT_EQ(driver.CurrentPosition(), 2);
  Tick(3);  // nothing runs
  EXPECT_EQ(Status(1), texts::kHandStop);

  script.progress["ch2.mp4"] = {100};
  driver.Start();
  Tick();
  EXPECT_EQ(Status(1), texts::kConvertSuccess);
  Tick(2);
  EXPECT_EQ(Opened(), (Names{"ch2.mp4", "ch2.mp4", "ch3.mp4"}));
  EXPECT_EQ(driver.State(), ConvertState::Finished);
}

TEST_F(DriverTest, JobsThatFailOrStallEndWithConvertErrorAndTheWalkGoesOn) {
  auto now = std::chrono::steady_clock::time_point{};
  driver.SetStallWatch(std::chrono::seconds(30), [&now] { return now; });
  AddFiles(3);
  script.progress["ch1.mp4"] = {20, ConverterScript::kFailedReading};
  script.progress["ch2.mp4"] = {30};
  script.stalls = {"ch2.mp4"};
  driver.SelectRow(0);
  driver.Start();
  Tick(2);  // ch1's graph reports an error at the second poll
  EXPECT_EQ(Status(0), texts::kConvertError);
  EXPECT_EQ(view.Cell(0, kColumnProgress), "");
  EXPECT_EQ(view.rows[0].colours[kColumnStatus], kPink);
  EXPECT_EQ(Opened(), (Names{"ch1.mp4", "ch2.mp4"}));

  Tick();
  now += std::chrono::seconds(29);
  Tick();
  EXPECT_EQ(Status(1), texts::kConverting);  // not yet 30 s without headway
  now += std::chrono::seconds(1);
  Tick();
  EXPECT_EQ(Status(1), texts::kConvertError);

  // ch3 moves on every poll, so however slow the clock says it is, it never stalls.
  now += std::chrono::hours(1);
  Tick();
  now += std::chrono::hours(1);
  Tick();
  EXPECT_EQ(Status(2), texts::kConvertSuccess);
  EXPECT_EQ(driver.State(), ConvertState::Finished);
  EXPECT_EQ(script.alive, 0);
}

TEST_F(DriverTest, StoppedJobWhoseOutputCannotBeFinalisedIsAnError) {
  AddFiles(2);
  script.progress["ch1.mp4"] = {40};
  script.stopFails = {"ch1.mp4"};
  driver.SelectRow(0);
  driver.Start();
  Tick();
  driver.Stop();
  EXPECT_EQ(Status(0), texts::kConvertError);
  EXPECT_EQ(driver.State(), ConvertState::Stopped);
  EXPECT_EQ(driver.CurrentPosition(), 1);
}

// The size is kept whole: a recording of exactly 4 GiB is not taken for an empty file.
TEST_F(DriverTest, FileOfExactly4GiBIsConverted) {
  const std::string path = dir.Recording("day.mp4", {}, kPayload);
  std::filesystem::resize_file(path, uint64_t{4} << 30);
  script.progress["day.mp4"] = {100};
  ASSERT_TRUE(driver.AddFile(path));
  EXPECT_EQ(view.Cell(0, kColumnStatus), std::to_string((uint64_t{4} << 30) >> 10));
  EXPECT_EQ(driver.Records().Find(path)->fileSize, uint64_t{4} << 30);
  driver.SelectRow(0);
  driver.Start();
  Tick();
  EXPECT_EQ(Status(0), texts::kConvertSuccess);
}

TEST_F(DriverTest, WmvJobGetsItsParametersAndEndsOnlyAt100) {
  HeaderSpec fields;
  fields.frameRateCode = recorder::kFrameRateBase + 12;
  AddFiles(1, fields);
  script.progress["ch1.mp4"] = {30, 99, 99, 100};
  driver.SelectRow(0);
  driver.Start();
  ASSERT_EQ(script.params.size(), 1u);
  const uint32_t estimate = EstimateSourceBitRate(kProbeSize + kPayload, script.decoded.duration);
  const WmvParams expected{352, 288, 12, static_cast<int32_t>(estimate / 1000 * 1000), 1, 1};
  EXPECT_EQ(script.params[0], expected);
  EXPECT_EQ(script.calls[1], "Build ch1.mp4 ch1.mp4_OUTPUT.WMV wmv 12");
  EXPECT_EQ(script.calls[2], "SetParams ch1.mp4");
  EXPECT_EQ(script.calls[3], "Start ch1.mp4");

  Tick(3);
  EXPECT_EQ(driver.State(), ConvertState::Converting);
  EXPECT_EQ(view.Cell(0, kColumnProgress), "99");
  Tick();
  EXPECT_EQ(Status(0), texts::kConvertSuccess);
  EXPECT_EQ(view.Cell(0, kColumnProgress), "100");
  EXPECT_EQ(driver.State(), ConvertState::Finished);
}

TEST_F(DriverTest, OutputSizeFollowsRecordedFieldsAndNarrowNtscInsertsDecompressor) {
  script.decoded.width = 704;
  script.decoded.height = 576;
  AddFiles(1);  // PAL CIF: 352 x 288 recorded, 576 lines decoded
  HeaderSpec narrow;
  narrow.standard = recorder::kStandardNtsc;
  narrow.groupResolution = recorder::kResolution160x128;  // 176 x 120 in a new header
  const std::string narrowPath = dir.Recording("n.264", narrow, kPayload);
  driver.AddFile(narrowPath);
  script.progress["n.264"] = {100};
  driver.SelectRow(0);
  driver.Start();
  Tick(3);

  ASSERT_EQ(script.params.size(), 2u);
  EXPECT_EQ(script.params[0].width, 704);
  EXPECT_EQ(script.params[0].height, 288);
  EXPECT_EQ(script.params[1].height, 576);  // 120 recorded: the decoded size stands
  EXPECT_EQ(script.params[1].audioEnabled, 1);
  const Names built = script.CallsOf("Build");
  ASSERT_EQ(built.size(), 2u);
  EXPECT_EQ(script.calls.back(), "Release n.264");
  EXPECT_NE(std::find(script.calls.begin(), script.calls.end(),
                      "Build n.264 n.264_OUTPUT.WMV wmv 25 narrow"),
            script.calls.end());
}

TEST_F(DriverTest, VbrQualityIsCappedAndZeroRatesAreRefused) {
  AddFiles(2);
  driver.SetCbr(false);
  driver.Settings().quality = 120;
  script.progress["ch1.mp4"] = {10};
  driver.SelectRow(0);
  driver.Start();
  EXPECT_EQ(view.MessageTexts(), Names{std::string(texts::kVbrNote)});
  ASSERT_EQ(script.params.size(), 1u);
  EXPECT_EQ(script.params[0].bitRate, 100);
  EXPECT_EQ(script.params[0].constantBitRate, 0);
  EXPECT_EQ(driver.Settings().quality, 100u);

  driver.Stop();
  driver.Settings().quality = 0;
  driver.Settings().bitRateKbps = 0;
  driver.Start();
  EXPECT_EQ(Status(0), texts::kParaSetError);
  EXPECT_EQ(view.rows[0].icon, 2);
  EXPECT_EQ(Status(1), texts::kParaSetError);
  EXPECT_EQ(script.params.size(), 1u);  // nothing more was sent
  EXPECT_EQ(driver.State(), ConvertState::Finished);
  EXPECT_EQ(script.alive, 0);
}

TEST_F(DriverTest, MessagesOfRefusedCommands) {
  driver.AddFileChecked((dir.Path() / "clip.avi").string());
  EXPECT_EQ(driver.RowCount(), 0);
  driver.Start();
  EXPECT_TRUE(driver.EnsurePrepared() == false);
  std::filesystem::create_directories(dir.Path() / "empty");
  driver.AddFolder((dir.Path() / "empty").string());
  EXPECT_EQ(driver.State(), ConvertState::Idle);

  AddFiles(1);
  driver.AddFile(paths["ch1.mp4"]);
  EXPECT_EQ(driver.RowCount(), 1);
  driver.SelectRow(0);
  driver.DeleteSelected();
  driver.Start();  // the deleted file is still current, but nothing is listed

  EXPECT_EQ(view.MessageTexts(),
            (Names{"File Formate error,only convert file of  .mp4 or .264!",
                   "Please choose file to convert !", "Operate error ,not add file ",
                   "File Formate error,only convert file of  .mp4 or .264!", "File is loaded!",
                   "File list error!"}));
  for (const auto& box : view.messages) EXPECT_EQ(box.caption, "Attention");
  EXPECT_EQ(script.alive, 0);
}

TEST_F(DriverTest, DuplicatesAndSameNamesFromOtherFolders) {
  const std::string first = dir.Recording("a/x.mp4", {}, kPayload);
  const std::string second = dir.Recording("b/x.mp4", {}, kPayload);
  const std::string third = dir.Recording("c/x.mp4", {}, kPayload);
  EXPECT_TRUE(driver.AddFileChecked(first));
  EXPECT_FALSE(driver.AddFileChecked(first));
  EXPECT_EQ(view.MessageTexts(), Names{"File is loaded!"});
  EXPECT_TRUE(driver.AddFile(second));
  EXPECT_TRUE(driver.AddFile(third));
  ASSERT_EQ(view.rows.size(), 3u);
  EXPECT_EQ(view.Cell(1, kColumnSource), "x.mp4");
  EXPECT_EQ(view.Cell(1, kColumnOutput), "x.mp4_1_OUTPUT.WMV");
  EXPECT_EQ(driver.RowAt(1).outputPath, second + "_1_OUTPUT.WMV");
  EXPECT_EQ(driver.RowAt(2).outputPath, third + "_2_OUTPUT.WMV");
  EXPECT_EQ(view.Cell(1, kColumnStatus), kSizeKb);
  EXPECT_EQ(view.Cell(1, kColumnKind), "Convert To WMV");
  EXPECT_EQ(view.rows[1].icon, 0);
  EXPECT_EQ(driver.CurrentPosition(), 3);
  EXPECT_EQ(driver.State(), ConvertState::Loaded);

  driver.SetOutputKind(OutputKind::Avi);  // the list was named for WMV: it is emptied
  EXPECT_TRUE(view.rows.empty());
  driver.AddFile(second);
  driver.AddFile(first);
  EXPECT_EQ(driver.RowAt(1).outputPath, first + "_1_OUTPUT.AVI");
  EXPECT_EQ(view.Cell(1, kColumnKind), "Convert To AVI");
}

TEST_F(DriverTest, AddFolderTakesEachPatternInTurnInAnyCaseAndNoSubfolders) {
  for (const char* name : {"z.264", "c.mp4", "b.qrl", "a.mp4", "sub/d.mp4", "e.avi", "CH01.MP4",
                           "x.Qrl", "y.mp4.bak"})
    dir.Recording(name);
  driver.AddFolder(dir.Path().string());
  Names listed;
  for (const ViewRow& row : view.rows) listed.push_back(row.cells[kColumnSource]);
  // Endings match in any case; within a pattern the names sort as bytes, capitals first.
  EXPECT_EQ(listed, (Names{"z.264", "CH01.MP4", "a.mp4", "c.mp4", "b.qrl", "x.Qrl"}));
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(DriverTest, MovedRowsConvertInTheirNewOrder) {
  AddFiles(3);
  driver.SelectRow(0);
  driver.MoveDown();
  EXPECT_EQ(view.Cell(0, kColumnSource), "ch2.mp4");
  EXPECT_EQ(view.Cell(1, kColumnSource), "ch1.mp4");
  EXPECT_EQ(driver.CurrentPosition(), 2);
  EXPECT_EQ(view.selected, std::set<int>{1});

  driver.SelectRow(0);
  driver.MoveUp();  // already at the top
  EXPECT_FALSE(view.moveUpEnabled);
  EXPECT_EQ(view.Cell(0, kColumnSource), "ch2.mp4");

  driver.Start();
  Tick(6);
  EXPECT_EQ(Opened(), (Names{"ch2.mp4", "ch1.mp4", "ch3.mp4"}));
  EXPECT_EQ(script.CallsOf("Build")[1], "ch1.mp4");
}

TEST_F(DriverTest, DeleteSelectsTheFollowingRow) {
  AddFiles(3);
  driver.SelectRow(1);
  driver.DeleteSelected();
  EXPECT_EQ(driver.RowCount(), 2);
  EXPECT_EQ(driver.Records().Count(), 2);
  EXPECT_EQ(driver.CurrentPosition(), 2);
  EXPECT_EQ(view.sourceField, paths["ch3.mp4"]);
  driver.DeleteSelected();  // the last row: the row before it becomes current
  EXPECT_EQ(driver.CurrentPosition(), 1);
  EXPECT_EQ(view.sourceField, paths["ch1.mp4"]);
  driver.DeleteSelected();
  EXPECT_EQ(driver.RowCount(), 0);
  EXPECT_EQ(driver.State(), ConvertState::Loaded);
}

TEST_F(DriverTest, PreparedFileDeletedBeforeStartIsNotRunUnprepared) {
  AddFiles(2);
  driver.SelectRow(0);
  EXPECT_TRUE(driver.EnsurePrepared());
  EXPECT_EQ(driver.State(), ConvertState::Ready);
  EXPECT_TRUE(driver.EnsurePrepared());  // already prepared: nothing reopened
  driver.DeleteSelected();
  driver.Start();
  EXPECT_EQ(Opened(), (Names{"ch1.mp4", "ch2.mp4"}));
  EXPECT_EQ(driver.State(), ConvertState::Converting);
  EXPECT_EQ(script.alive, 1);
}

TEST_F(DriverTest, EnsurePreparedFailureIsAParameterError) {
  AddFiles(1);
  script.openFails = {"ch1.mp4"};
  EXPECT_FALSE(driver.EnsurePrepared());
  EXPECT_EQ(driver.State(), ConvertState::ParamError);
  EXPECT_EQ(script.alive, 0);
}

TEST_F(DriverTest, ListCommandsWaitWhileAJobConverts) {
  AddFiles(3);
  script.progress["ch1.mp4"] = {10};
  driver.SelectRow(0);
  driver.Start();
  const std::string extra = dir.Recording("extra.mp4");
  EXPECT_FALSE(driver.AddFileChecked(extra));
  driver.SelectRow(2);
  driver.DeleteSelected();
  driver.MoveDown();
  driver.Start();
  EXPECT_EQ(driver.RowCount(), 3);
  EXPECT_EQ(driver.CurrentPosition(), 1);
  EXPECT_EQ(view.Cell(0, kColumnSource), "ch1.mp4");
  EXPECT_EQ(Opened(), Names{"ch1.mp4"});
  EXPECT_EQ(driver.State(), ConvertState::Converting);

  driver.ClearList();  // stops the job first
  EXPECT_EQ(driver.State(), ConvertState::Idle);
  EXPECT_EQ(script.CallsOf("Stop"), Names{"ch1.mp4"});
  EXPECT_EQ(script.alive, 0);
}
