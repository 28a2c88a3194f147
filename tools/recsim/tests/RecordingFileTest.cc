#include "RecordingFile.h"

#include <gtest/gtest.h>

#include <fstream>

#include "Recording.h"
#include "RecsimHarness.h"
#include "StreamCursor.h"

using namespace recsim;
using namespace recsimtest;

namespace {

constexpr int64_t kFrame = 400'000;  // 25 fps in 100 ns units

class RecordingFileTest : public ::testing::Test {
 protected:
  std::filesystem::path path_ =
      std::filesystem::temp_directory_path() / ("recfile" + std::to_string(::getpid()));
  void TearDown() override { std::filesystem::remove(path_); }
};

TEST_F(RecordingFileTest, IndexesGroupsWithTheirTimes) {
  const auto media = WriteRecording(path_, {10, 25, 5});
  const auto file = RecordingFile::Open(path_);
  ASSERT_TRUE(file);
  ASSERT_EQ(file->Pieces().size(), 10u);
  EXPECT_EQ(file->Duration(), 10 * kFrame);
  EXPECT_EQ(file->Pieces()[3].time, 3 * kFrame);
  EXPECT_TRUE(file->Pieces()[5].resumePoint);
  EXPECT_FALSE(file->Pieces()[6].resumePoint);
  EXPECT_EQ(file->FileSize(), media.size() + 40);
  // Seeking lands on the resume point at or before the time; past the end on nothing.
  EXPECT_EQ(file->SeekIndex(7 * kFrame + 1), 5u);
  EXPECT_EQ(file->SeekIndex(0), 0u);
  EXPECT_EQ(file->SeekIndex(10 * kFrame), 10u);
}

TEST_F(RecordingFileTest, KeepsDamageAndTruncationAsUntimedPieces) {
  auto media = WriteRecording(path_, {4, 25, 5});
  std::vector<uint8_t> file = RecordingHeader();
  const size_t firstGroup = RecordingFile::Open(path_)->Pieces()[1].offset - 40;
  file.insert(file.end(), media.begin(), media.begin() + static_cast<ptrdiff_t>(firstGroup));
  const std::vector<uint8_t> junk = {9, 9, 0, 0, 5, 5, 5, 5, 9};
  file.insert(file.end(), junk.begin(), junk.end());
  file.insert(file.end(), media.begin() + static_cast<ptrdiff_t>(firstGroup), media.end() - 50);
  std::ofstream(path_, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));

  const auto recording = RecordingFile::Open(path_);
  ASSERT_TRUE(recording);
  size_t covered = 0, untimed = 0;
  for (const Piece& piece : recording->Pieces()) {
    covered += piece.size;
    if (piece.duration == 0) ++untimed;
  }
  EXPECT_EQ(covered, file.size() - 40) << "every byte is served";
  EXPECT_EQ(untimed, 2u) << "the junk and the truncated last group";
  EXPECT_EQ(recording->Duration(), 3 * kFrame);
}

TEST_F(RecordingFileTest, RefusesMissingAndShortFiles) {
  EXPECT_FALSE(RecordingFile::Open(path_.string() + ".none"));
  std::ofstream(path_) << "short";
  EXPECT_FALSE(RecordingFile::Open(path_));
}

TEST_F(RecordingFileTest, LoopingCursorKeepsTimeGrowing) {
  WriteRecording(path_, {3, 25, 5});
  const auto file = RecordingFile::Open(path_);
  StreamCursor loop(file, StreamCursor::Mode::Loop);
  std::vector<int64_t> times;
  for (int i = 0; i < 7; ++i) times.push_back(loop.Next()->time);
  EXPECT_EQ(times, (std::vector<int64_t>{0, kFrame, 2 * kFrame, 3 * kFrame, 4 * kFrame,
                                         5 * kFrame, 6 * kFrame}));
  StreamCursor once(file, StreamCursor::Mode::Once);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(once.Next());
  EXPECT_FALSE(once.Next());
  once.Seek(kFrame);
  EXPECT_EQ(once.Next()->time, 0) << "back to the key group";
}

}  // namespace

namespace {

TEST(RecordingFileRecgenTest, IndexesRecgenFilesToTheirLength) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("recsim_recgen" + std::to_string(::getpid()) + ".264");
  recgen::Options options;
  options.width = 176;
  options.height = 144;
  options.frames = 60;
  options.fps = 30;
  options.groupFrames = 7;
  options.audioCode = recorder::kAudioG722_16;
  options.output = path.string();
  const recgen::RecordingSummary summary = recgen::WriteRecording(options);
  const auto file = RecordingFile::Open(path.string());
  ASSERT_TRUE(file);
  // One piece per frame, each starting at its frame's time; groups start at resume points.
  ASSERT_EQ(file->Pieces().size(), 60u);
  EXPECT_EQ(file->Pieces()[7].time, 7 * 333'333);
  EXPECT_TRUE(file->Pieces()[0].resumePoint);
  EXPECT_FALSE(file->Pieces()[1].resumePoint);
  EXPECT_EQ(file->Duration(), 60 * 333'333);
  size_t bytes = 40;
  for (const Piece& piece : file->Pieces()) bytes += piece.size;
  EXPECT_EQ(bytes, summary.bytes);
  EXPECT_EQ(file->FileSize(), summary.bytes);
  std::filesystem::remove(path);
}

}  // namespace
