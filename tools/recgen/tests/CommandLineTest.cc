// recgen's command line: the demo's line, and refusals of options that cannot be written.
#include <gtest/gtest.h>

#include "CommandLine.h"

using namespace recgen;

namespace {

ParsedCommandLine Parse(std::vector<std::string> args) { return ParseCommandLine(args); }

TEST(CommandLineTest, DemoLine) {
  const ParsedCommandLine parsed = Parse({"--codec", "h264", "--size", "352x288", "--seconds",
                                          "10", "--fps", "30", "--audio", "0x1011", "out.mp4"});
  ASSERT_EQ(parsed.error, "");
  const Options& o = parsed.options;
  EXPECT_EQ(o.codec, VideoCodec::H264);
  EXPECT_EQ(o.width, 352);
  EXPECT_EQ(o.height, 288);
  EXPECT_EQ(o.frames, 300);  // seconds apply with the frame rate given after them
  EXPECT_EQ(o.audioCode, 0x1011u);
  EXPECT_EQ(o.SystemType(), recorder::kSystemVideoAudio);
  EXPECT_EQ(o.output, "out.mp4");
}

TEST(CommandLineTest, DamageAndHeaderOptions) {
  const ParsedCommandLine parsed =
      Parse({"--old-header", "--ntsc", "--size", "704x480", "--garbage", "64", "--flip", "3",
             "--seed", "9", "--bad-block-group", "2", "--truncate", "10", "--elementary", "raw",
             "--group-frames", "5", "--gop-groups", "4", "f.264"});
  ASSERT_EQ(parsed.error, "");
  const Options& o = parsed.options;
  EXPECT_TRUE(o.oldHeader);
  EXPECT_EQ(o.videoStandard, recorder::kStandardNtsc);
  EXPECT_EQ(o.damage.garbageBytes, 64u);
  EXPECT_EQ(o.damage.flipCount, 3u);
  EXPECT_EQ(o.damage.seed, 9u);
  EXPECT_EQ(o.damage.badBlockGroup, 2u);
  EXPECT_EQ(o.damage.truncateBytes, 10u);
  EXPECT_EQ(o.elementaryDir, "raw");
  EXPECT_EQ(o.GopFrames(), 20);
  EXPECT_EQ(o.frames, 250);  // ten seconds by default
}

TEST(CommandLineTest, LastLengthWins) {
  EXPECT_EQ(Parse({"--seconds", "2", "--frames", "7", "f"}).options.frames, 7);
  EXPECT_EQ(Parse({"--frames", "7", "--fps", "10", "--seconds", "1.5", "f"}).options.frames, 15);
  EXPECT_EQ(Parse({"--fps", "30", "f"}).options.frames, 300);
}

TEST(CommandLineTest, RefusesWhatCannotBeWritten) {
  const std::vector<std::vector<std::string>> bad = {
      {},                                                    // no output
      {"--codec", "vp9", "f"},                               // unknown codec
      {"--size", "353x288", "f"},                            // odd width
      {"--old-header", "--size", "640x480", "f"},            // no resolution code
      {"--system", "0x1001", "--audio", "0x1011", "f"},      // video only with audio
      {"--system", "0x1002", "f"},                           // audio only without audio
      {"--audio", "0x1234", "f"},                            // unknown audio code
      {"--group-frames", "200", "--audio", "0x1001", "f"},   // more than 255 blocks
      {"--frames", "50", "--bad-block-group", "2", "f"},     // beyond the last group
      {"--fps", "x", "f"},                                   // not a number
      {"--bogus", "f"},
      {"f", "g"},
  };
  for (const auto& args : bad) EXPECT_NE(Parse(args).error, "") << ::testing::PrintToString(args);
}

}  // namespace
