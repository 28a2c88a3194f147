// Lossless outputs end to end: recorder files written by recgen (with their elementary streams
// beside them) go through `recast --batch --to mp4|mkv`, and ffmpeg reads the outputs back. The
// copied video must be the recorded bytes, frame for frame.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "MediaProbe.h"
#include "ConversionFixture.h"
#include "RecastRun.h"
#include "Recording.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSeconds = 4;
// The tools of the ffmpeg package, where the setup script installs them.
constexpr const char* kFfmpeg = "/usr/bin/ffmpeg";
constexpr const char* kFfprobe = "/usr/bin/ffprobe";
constexpr int kFps = 25;

std::string ReadAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Byte streams compared without printing them: only their sizes are worth reading.
::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual) {
  if (!expected.empty() && expected == actual) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected " << expected.size() << " bytes, got "
                                       << actual.size() << " different ones";
}

class CopyOutput : public ConversionFixture {
 protected:
  recgen::RecordingSummary Write(const std::string& name, recgen::VideoCodec codec,
                                 std::optional<uint32_t> audio, recgen::Options options = {}) {
    options.codec = codec;
    options.fps = kFps;
    options.frames = kSeconds * kFps;
    options.audioCode = audio;
    options.output = (dir_ / name).string();
    options.elementaryDir = (dir_ / "elementary").string();
    return recgen::WriteRecording(options);
  }

  ProcessResult Convert(const std::string& to, const std::string& name) {
    return RunProcess({RECAST_BINARY, "--batch", "--to", to, (dir_ / name).string()}, dir_);
  }

  // The video stream of `output` in its own elementary form (Annex B for H.264), as ffmpeg
  // copies it out without decoding.
  std::string VideoBytes(const fs::path& output, bool h264) {
    const fs::path raw = dir_ / "copied.raw";
    std::vector<std::string> argv{kFfmpeg, "-v", "error", "-y", "-i", output.string(), "-map", "0:v",
                                  "-c", "copy"};
    if (h264) argv.insert(argv.end(), {"-bsf:v", "h264_mp4toannexb", "-f", "h264"});
    else argv.insert(argv.end(), {"-f", "m4v"});
    argv.push_back(raw.string());
    const ProcessResult run = RunProcess(argv, dir_);
    EXPECT_EQ(0, run.status) << run.err;
    return ReadAll(raw);
  }

  // ffprobe's flags of the first video packet ("K_" for a key frame).
  std::string FirstVideoPacketFlags(const fs::path& output) {
    const ProcessResult run = RunProcess({kFfprobe, "-v", "error", "-select_streams", "v:0",
                                          "-show_entries", "packet=flags", "-read_intervals", "%+#1",
                                          "-of", "csv=p=0", output.string()},
                                         dir_);
    return run.out.substr(0, run.out.find('\n'));
  }

  // Whether ffmpeg decodes the whole file without an error.
  bool Decodes(const fs::path& output) {
    const ProcessResult run =
        RunProcess({kFfmpeg, "-v", "error", "-xerror", "-i", output.string(), "-f", "null", "-"}, dir_);
    return run.status == 0 && run.err.empty();
  }

};

// H.264 into MP4: the recorded frames exactly, every one, from a key frame on, with the sound
// as AAC at 16 kHz mono and the recording's length.
TEST_F(CopyOutput, Mp4CopiesH264FramesAndEncodesSoundToAac) {
  const auto written = Write("ch01.mp4", recgen::VideoCodec::H264, 0x1011);
  const ProcessResult run = Convert("mp4", "ch01.mp4");
  ASSERT_EQ(0, run.status) << run.out << run.err;
  EXPECT_NE(std::string::npos, run.out.find("ch01.mp4_OUTPUT.MP4")) << run.out;
  const fs::path output = dir_ / "ch01.mp4_OUTPUT.MP4";

  const MediaSummary media = ProbeMedia(output);
  ASSERT_TRUE(media.opened);
  EXPECT_EQ("h264", media.videoCodec);
  EXPECT_EQ(written.frames, media.videoFrames);
  EXPECT_NEAR(static_cast<double>(written.frames) / kFps, media.videoSeconds, 1.0 / kFps + 1e-6);
  EXPECT_EQ("aac", media.audioCodec);
  EXPECT_EQ(16000, media.sampleRate);
  EXPECT_EQ(1, media.channels);
  EXPECT_TRUE(SameBytes(ReadAll(dir_ / "elementary" / "ch01.h264"), VideoBytes(output, true)));
  EXPECT_EQ("K_", FirstVideoPacketFlags(output));
  EXPECT_TRUE(Decodes(output));
}

// MPEG-4 part 2 into Matroska keeps G.711 as recorded; into MP4 the same sound becomes AAC.
TEST_F(CopyOutput, MatroskaKeepsG711AndMp4EncodesIt) {
  const auto written = Write("ch02.mp4", recgen::VideoCodec::Mpeg4, 0x7110);
  ASSERT_EQ(0, Convert("mkv", "ch02.mp4").status);
  ASSERT_EQ(0, Convert("mp4", "ch02.mp4").status);
  const std::string recorded = ReadAll(dir_ / "elementary" / "ch02.m4v");

  const fs::path mkv = dir_ / "ch02.mp4_OUTPUT.MKV";
  const MediaSummary matroska = ProbeMedia(mkv);
  ASSERT_TRUE(matroska.opened);
  EXPECT_EQ("mpeg4", matroska.videoCodec);
  EXPECT_EQ(written.frames, matroska.videoFrames);
  EXPECT_EQ("pcm_mulaw", matroska.audioCodec);
  EXPECT_TRUE(SameBytes(recorded, VideoBytes(mkv, false)));
  const fs::path sound = dir_ / "sound.ul";
  ASSERT_EQ(0, RunProcess({kFfmpeg, "-v", "error", "-y", "-i", mkv.string(), "-map", "0:a", "-c",
                           "copy", "-f", "mulaw", sound.string()},
                          dir_)
                   .status);
  EXPECT_TRUE(SameBytes(ReadAll(dir_ / "elementary" / "ch02.ul"), ReadAll(sound)));

  const fs::path mp4 = dir_ / "ch02.mp4_OUTPUT.MP4";
  const MediaSummary copied = ProbeMedia(mp4);
  EXPECT_EQ("mpeg4", copied.videoCodec);
  EXPECT_EQ("aac", copied.audioCodec);
  EXPECT_EQ(16000, copied.sampleRate);
  EXPECT_TRUE(SameBytes(recorded, VideoBytes(mp4, false)));
  EXPECT_TRUE(Decodes(mp4));
}

// Damaged groups are skipped: the rest converts into a file that plays from a key frame on.
TEST_F(CopyOutput, DamagedRecordingStillPlays) {
  recgen::Options damage;
  damage.damage.flipCount = 40;
  damage.damage.seed = 7;
  damage.damage.badBlockGroup = 1;
  const auto written = Write("hurt.mp4", recgen::VideoCodec::H264, 0x7221, damage);
  const ProcessResult run = Convert("mp4", "hurt.mp4");
  ASSERT_EQ(0, run.status) << run.out << run.err;
  const fs::path output = dir_ / "hurt.mp4_OUTPUT.MP4";
  const MediaSummary media = ProbeMedia(output);
  ASSERT_TRUE(media.opened);
  EXPECT_GT(media.videoFrames, 0);
  EXPECT_LT(media.videoFrames, written.frames);
  EXPECT_EQ("K_", FirstVideoPacketFlags(output));
  EXPECT_EQ("aac", media.audioCodec);
}

// A recording without sound gives a video-only file.
TEST_F(CopyOutput, SilentRecordingGivesVideoOnly) {
  const auto written = Write("quiet.mp4", recgen::VideoCodec::H264, std::nullopt);
  ASSERT_EQ(0, Convert("mkv", "quiet.mp4").status);
  const MediaSummary media = ProbeMedia(dir_ / "quiet.mp4_OUTPUT.MKV");
  EXPECT_EQ(written.frames, media.videoFrames);
  EXPECT_TRUE(SameBytes(ReadAll(dir_ / "elementary" / "quiet.h264"),
                        VideoBytes(dir_ / "quiet.mp4_OUTPUT.MKV", true)));
}

}  // namespace
