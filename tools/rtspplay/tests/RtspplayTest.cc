// rtspplay's parts that do not need a server: the command list and keys, the header and time
// texts, and the receiver reassembling a cut stream into the groups it counts and writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "CommandLine.h"
#include "Keyboard.h"
#include "Recording.h"
#include "Report.h"
#include "StreamReceiver.h"

namespace rtspplay {
namespace {

namespace fs = std::filesystem;

TEST(RtspplayScript, ParsesTheCommandList) {
  std::string error;
  const auto script = ParseScript("play,wait:2,pause,wait:0.5,resume,seek:10,rate:-2,stop", error);
  ASSERT_TRUE(script) << error;
  ASSERT_EQ(script->size(), 8u);
  EXPECT_EQ((*script)[0].kind, CommandKind::kPlay);
  EXPECT_EQ((*script)[1].kind, CommandKind::kWait);
  EXPECT_DOUBLE_EQ((*script)[3].seconds, 0.5);
  EXPECT_EQ((*script)[5].kind, CommandKind::kSeek);
  EXPECT_DOUBLE_EQ((*script)[5].seconds, 10);
  EXPECT_EQ((*script)[6].kind, CommandKind::kRate);
  EXPECT_EQ((*script)[6].scale, -2);
  EXPECT_EQ((*script)[7].kind, CommandKind::kStop);
}

TEST(RtspplayScript, RefusesBadItems) {
  for (const char* text : {"", "play,", "jump", "wait", "wait:", "wait:-1", "wait:1s",
                           "seek:nan", "seek:1e9", "rate:9", "rate:1.5", "pause:1"}) {
    std::string error;
    EXPECT_FALSE(ParseScript(text, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST(RtspplayCommandLine, UrlTransportOutputAndList) {
  std::string error;
  const auto options =
      ParseCommandLine({"--udp", "--out", "x.mp4", "rtsp://1.2.3.4/a", "--do", "play"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->url, "rtsp://1.2.3.4/a");
  EXPECT_TRUE(options->udp);
  EXPECT_EQ(options->outPath, "x.mp4");
  ASSERT_TRUE(options->script);
  EXPECT_EQ(options->script->size(), 1u);
  EXPECT_FALSE(ParseCommandLine({}, error));
  EXPECT_FALSE(ParseCommandLine({"rtsp://a/b", "rtsp://c/d"}, error));
  EXPECT_FALSE(ParseCommandLine({"rtsp://a/b", "--out"}, error));
  EXPECT_FALSE(ParseCommandLine({"rtsp://a/b", "--tcp"}, error));
  EXPECT_FALSE(ParseCommandLine({"rtsp://a/b", "--do", "play,fly"}, error));
}

TEST(RtspplayKeys, CommandsFollowTheState) {
  KeyContext context;
  context.totalTime = 640;
  EXPECT_EQ(CommandForKey(' ', context)->kind, CommandKind::kPause);
  context.paused = true;
  EXPECT_EQ(CommandForKey(' ', context)->kind, CommandKind::kResume);
  EXPECT_EQ(CommandForKey('q', context)->kind, CommandKind::kStop);
  EXPECT_DOUBLE_EQ(CommandForKey('5', context)->seconds, 5.0);
  EXPECT_DOUBLE_EQ(CommandForKey('0', context)->seconds, 0.0);
  EXPECT_EQ(CommandForKey('+', context)->scale, 2);
  EXPECT_EQ(CommandForKey('-', context)->scale, -2);
  context.scale = 8;
  EXPECT_EQ(CommandForKey('+', context)->scale, 8);  // the fastest stays the fastest
  context.scale = 5;                                  // not a step: from the normal rate
  EXPECT_EQ(CommandForKey('+', context)->scale, 2);
  EXPECT_FALSE(CommandForKey('x', context));
  context.totalTime = -1;  // a live stream cannot be sought
  EXPECT_FALSE(CommandForKey('5', context));
}

TEST(RtspplayReport, HeaderAndTotalTime) {
  EXPECT_EQ(DescribeTotalTime(-1), "total time: live");
  EXPECT_EQ(DescribeTotalTime(640), "total time: 640 (10.00 s)");
  EXPECT_EQ(DescribeHeader(std::vector<uint8_t>(12)), "header: 12 bytes, not a stream header");
}

// A small recording as the server sends it: its bytes, header first.
std::string RecordingBytes(const fs::path& path) {
  recgen::Options options;
  options.codec = recgen::VideoCodec::Mpeg4;
  options.width = 176;
  options.height = 144;
  options.frames = 30;
  options.groupFrames = 3;
  options.audioCode = recorder::kAudioG711U;
  options.output = path.string();
  recgen::WriteRecording(options);
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class RtspplayReceiver : public ::testing::Test {
 protected:
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  const fs::path dir_ = fs::temp_directory_path() / ("rtspplay_" + std::to_string(::getpid()));
};

// The stream cut in odd slices comes out whole: ten groups counted and the output file the
// same bytes as the recording.
TEST_F(RtspplayReceiver, ReassemblesCutStreamIntoTheFile) {
  fs::create_directories(dir_);
  const std::string file = RecordingBytes(dir_ / "in.mp4");
  std::string error;
  {
    auto receiver = StreamReceiver::Create((dir_ / "out.mp4").string(), error);
    ASSERT_TRUE(receiver) << error;
    const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
    receiver->OnHeader(bytes, recorder::kFileHeaderSize);
    EXPECT_EQ(DescribeHeader(receiver->Header()),
              "header: 40 bytes, 4MLQ, 176x144 PAL, video+audio, audio 0x7110");
    for (size_t offset = recorder::kFileHeaderSize, slice = 1; offset < file.size();
         offset += slice, slice = slice * 3 % 5107 + 1)
      receiver->OnStream(bytes + offset, std::min(slice, file.size() - offset));
    const Totals totals = receiver->Snapshot();
    EXPECT_EQ(totals.bytes, file.size() - recorder::kFileHeaderSize);
    EXPECT_EQ(totals.groups, 10u);
    EXPECT_EQ(totals.skipped, 0u);
    EXPECT_TRUE(receiver->OutputGood());
  }
  std::ifstream in(dir_ / "out.mp4", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
            file);
}

// A seek cuts a group short: the cut group is neither counted nor written, and the groups
// after it still are.
TEST_F(RtspplayReceiver, GroupCutBySeekIsLeftOut) {
  fs::create_directories(dir_);
  const std::string file = RecordingBytes(dir_ / "in.mp4");
  std::string error;
  auto receiver = StreamReceiver::Create("", error);
  ASSERT_TRUE(receiver);
  const auto* groups = reinterpret_cast<const uint8_t*>(file.data()) + recorder::kFileHeaderSize;
  const size_t length = file.size() - recorder::kFileHeaderSize;
  receiver->OnStream(groups, length / 2);  // ends inside a group
  receiver->OnStream(groups, length);      // "seek" back to the start
  const Totals totals = receiver->Snapshot();
  EXPECT_GT(totals.skipped, 0u);
  EXPECT_GE(totals.groups, 10u);
  EXPECT_LT(totals.groups, 15u);
  EXPECT_FALSE(StreamReceiver::Create((dir_ / "no" / "such" / "dir").string(), error));
}

}  // namespace
}  // namespace rtspplay
