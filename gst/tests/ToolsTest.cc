// The plugin as users meet it: GStreamer's own command-line tools on recorder files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "GstHarness.h"

namespace recastgst::testing {
namespace {

namespace fs = std::filesystem;

struct Coding {
  recgen::VideoCodec codec;
  std::optional<uint32_t> audio;
  const char* videoCaps;
  const char* audioCaps;  // nullptr: no audio stream
};

void PrintTo(const Coding& coding, std::ostream* out) {
  *out << coding.videoCaps << " + " << (coding.audioCaps ? coding.audioCaps : "no audio");
}

std::string ClockText(int64_t units) {
  const int64_t ns = units * 100;
  char text[64];
  std::snprintf(text, sizeof text, "%d:%02d:%02d.%09d", static_cast<int>(ns / 3'600'000'000'000),
                static_cast<int>(ns / 60'000'000'000 % 60), static_cast<int>(ns / 1'000'000'000 % 60),
                static_cast<int>(ns % 1'000'000'000));
  return text;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

class DiscovererTest : public ::testing::TestWithParam<Coding> {};

std::string CodingName(const ::testing::TestParamInfo<Coding>& info) {
  static const char* const kCodecs[] = {"H264", "Mpeg4", "Mpeg4Sh"};
  char name[48];
  std::snprintf(name, sizeof name, "%s_%s%x", kCodecs[static_cast<int>(info.param.codec)],
                info.param.audio ? "Audio" : "NoAudio", info.param.audio.value_or(0));
  return name;
}

// Every coding and audio code, including the two aliases of the audio code.
INSTANTIATE_TEST_SUITE_P(
    Codings, DiscovererTest,
    ::testing::Values(
        Coding{recgen::VideoCodec::H264, std::nullopt, "video/x-h264", nullptr},
        Coding{recgen::VideoCodec::H264, 0x1001, "video/x-h264",
               "audio/x-adpcm, layout=(string)g726, bitrate=(int)32000, rate=(int)8000"},
        Coding{recgen::VideoCodec::Mpeg4, 0x1011, "video/mpeg, mpegversion=(int)4",
               "audio/x-adpcm, layout=(string)g726, bitrate=(int)16000, rate=(int)8000"},
        Coding{recgen::VideoCodec::Mpeg4Sh, 0x1012, "video/mpeg, mpegversion=(int)4",
               "audio/x-adpcm, layout=(string)g726, bitrate=(int)24000, rate=(int)8000"},
        Coding{recgen::VideoCodec::H264, 0x1013, "video/x-h264",
               "audio/x-adpcm, layout=(string)g726, bitrate=(int)32000, rate=(int)8000"},
        Coding{recgen::VideoCodec::Mpeg4, 0x7110, "video/mpeg", "audio/x-mulaw, rate=(int)8000"},
        Coding{recgen::VideoCodec::Mpeg4Sh, 0x7111, "video/mpeg", "audio/x-alaw, rate=(int)8000"},
        Coding{recgen::VideoCodec::H264, 0x7221, "video/x-h264", "audio/G722, rate=(int)16000"},
        Coding{recgen::VideoCodec::H264, 0x0, "video/x-h264",
               "audio/x-adpcm, layout=(string)g726, bitrate=(int)32000"},
        Coding{recgen::VideoCodec::Mpeg4, 0x1003, "video/mpeg",
               "audio/x-adpcm, layout=(string)g726, bitrate=(int)24000"}),
    CodingName);

TEST_P(DiscovererTest, ReportsCodecsSizeFrameRateAndDuration) {
  if (!kToolsLoadPlugin) GTEST_SKIP() << "the tools cannot load a sanitizer build";
  const Coding& coding = GetParam();
  recgen::Options options = SmallOptions("ch01.mp4");
  options.codec = coding.codec;
  options.audioCode = coding.audio;
  const recgen::RecordingSummary summary = Write(options);

  const ToolResult run = RunTool("gst-discoverer-1.0 -v " + Quoted(options.output));
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string& out = run.output;
  EXPECT_NE(out.find("container #0: video/x-recorder-stream"), std::string::npos) << out;
  EXPECT_NE(out.find("video #1: " + std::string(coding.videoCaps)), std::string::npos) << out;
  EXPECT_NE(out.find("Width: 176"), std::string::npos) << out;
  EXPECT_NE(out.find("Height: 144"), std::string::npos) << out;
  EXPECT_NE(out.find("Frame rate: 25/1"), std::string::npos) << out;
  EXPECT_NE(out.find("Duration: " + ClockText(summary.duration)), std::string::npos) << out;
  if (coding.audioCaps) {
    EXPECT_NE(out.find(std::string("audio #2: ") + coding.audioCaps), std::string::npos) << out;
    EXPECT_NE(out.find("channels=(int)1"), std::string::npos) << out;
  } else {
    EXPECT_EQ(out.find("audio #"), std::string::npos) << out;
  }
}

// Old headers give the size as a resolution code, read by the video standard; the frame rate
// comes from the groups.
TEST(Discoverer, OldHeaderNtscAt30FramesPerSecond) {
  if (!kToolsLoadPlugin) GTEST_SKIP() << "the tools cannot load a sanitizer build";
  recgen::Options options = SmallOptions("ch02.264");
  options.width = 352;
  options.height = 240;
  options.fps = 30;
  options.frames = 60;
  options.oldHeader = true;
  options.videoStandard = recorder::kStandardNtsc;
  const recgen::RecordingSummary summary = Write(options);

  const ToolResult run = RunTool("gst-discoverer-1.0 -v " + Quoted(options.output));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("Width: 352"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Height: 240"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Frame rate: 30/1"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Duration: " + ClockText(summary.duration)), std::string::npos)
      << run.output;
}

int CountFiles(const fs::path& dir, const std::string& prefix) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().filename().string().rfind(prefix, 0) == 0) ++count;
  return count;
}

// gst-launch writes every sample the demuxer sends to a file of its own.
TEST(Launch, DemuxerDeliversEveryFrameAndAudioBlock) {
  if (!kToolsLoadPlugin) GTEST_SKIP() << "the tools cannot load a sanitizer build";
  recgen::Options options = SmallOptions("ch01.qrl");
  options.audioCode = 0x7111;
  options.frames = 75;
  const recgen::RecordingSummary summary = Write(options);
  const fs::path out = TestDir() / "samples";
  fs::remove_all(out);
  fs::create_directories(out);

  const ToolResult run = RunTool(
      "gst-launch-1.0 -q filesrc location=" + Quoted(options.output) +
      " ! qrldemux name=d d.video ! queue ! multifilesink location=" + Quoted((out / "v%05d").string()) +
      " d.audio ! queue ! multifilesink location=" + Quoted((out / "a%05d").string()));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(CountFiles(out, "v"), summary.frames);
  EXPECT_EQ(CountFiles(out, "a"), summary.audioBlocks);
  // Audio-block payloads of G.711 are 320 bytes each (40 ms at 8 kHz).
  EXPECT_EQ(fs::file_size(out / "a00000"), 320u);
}

// The same count through the decoders: every frame and every audio block decodes.
TEST(Launch, DecodersReceiveEveryFrame) {
  recgen::Options options = SmallOptions("ch01.mp4");
  options.audioCode = 0x1001;
  const recgen::RecordingSummary summary = Write(options);
  const RunResult run = RunPipeline(
      "filesrc location=\"" + options.output + "\"" +
      " ! qrldemux name=d d.video ! queue ! avdec_h264 ! fakesink name=v sync=false"
      " d.audio ! queue ! avdec_g726 ! fakesink name=a sync=false");
  ASSERT_TRUE(run.eos) << run.error;
  EXPECT_EQ(run.sinks.at("v").buffers, summary.frames);
  EXPECT_EQ(run.sinks.at("a").buffers, summary.audioBlocks);
}

}  // namespace
}  // namespace recastgst::testing
