// Files convert end to end: recorder files written by recgen go through `recast --batch` (the
// driver, the converter, the registered filter modules) and the outputs are read back with
// libavformat.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "ConversionFixture.h"
#include "MediaProbe.h"
#include "Recording.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSeconds = 2;
// The file source reads this much at a time (4 MiB).
constexpr uintmax_t kSourceReadBytes = uintmax_t{4} << 20;
constexpr int kCutSourceSeconds = 20;
// A 4CIF recording whose outputs outgrow the registry's log.
constexpr int kFullDiskSourceSeconds = 40;
constexpr uintmax_t kRegistryGrowthBytes = uintmax_t{256} << 10;
constexpr uintmax_t kShellBlockBytes = 512;  // the unit of ulimit -f in /bin/sh
// What the ASF writer buffers before its first write to the file (256 KiB).
constexpr uintmax_t kWriterBufferBytes = uintmax_t{256} << 10;

struct Case {
  const char* name;
  recgen::VideoCodec codec;
  int width, height, fps;
  bool ntsc;
  std::optional<uint32_t> audio;
  const char* to;                  // "wmv" or "avi"
  std::vector<std::string> rate;   // extra options
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class ConvertBatch : public ConversionFixture {
 protected:
  recgen::RecordingSummary Write(const fs::path& path, const Case& c, int seconds = kSeconds) {
    recgen::Options options;
    options.codec = c.codec;
    options.width = c.width;
    options.height = c.height;
    options.fps = c.fps;
    options.frames = seconds * c.fps;
    options.videoStandard = c.ntsc ? recorder::kStandardNtsc : recorder::kStandardPal;
    options.audioCode = c.audio;
    options.output = path.string();
    fs::create_directories(path.parent_path());
    return recgen::WriteRecording(options);
  }

  ProcessResult Batch(std::vector<std::string> args, const ProcessOptions& options = {}) {
    args.insert(args.begin(), {RECAST_BINARY, "--batch"});
    return RunProcess(args, dir_, options);
  }
};

const Case kCif{"cif", recgen::VideoCodec::H264, 352, 288, 25, false, 0x1011, "wmv", {}};

class ConvertMatrix : public ConvertBatch, public ::testing::WithParamInterface<Case> {};

// Every source frame reaches the output at its size, with the codecs the output kind names and
// WMA at 16 kHz mono (or PCM in the AVI) when the source has sound.
TEST_P(ConvertMatrix, OutputHoldsEverySourceFrame) {
  const Case& c = GetParam();
  const fs::path source = dir_ / (std::string(c.name) + ".mp4");
  const recgen::RecordingSummary written = Write(source, c);
  std::vector<std::string> args{"--to", c.to};
  args.insert(args.end(), c.rate.begin(), c.rate.end());
  args.push_back(source.string());
  const ProcessResult run = Batch(args);
  ASSERT_EQ(0, run.status) << run.out << run.err;
  EXPECT_NE(std::string::npos, run.out.find("Convert Success")) << run.out;

  const bool wmv = std::string(c.to) == "wmv";
  const MediaSummary media = ProbeMedia(source.string() + (wmv ? "_OUTPUT.WMV" : "_OUTPUT.AVI"));
  ASSERT_TRUE(media.opened);
  EXPECT_EQ(wmv ? "wmv2" : "mpeg4", media.videoCodec);
  EXPECT_EQ(c.width, media.width);
  EXPECT_EQ(c.height, media.height);
  EXPECT_EQ(written.frames, media.videoFrames);
  EXPECT_NEAR(static_cast<double>(written.frames) / c.fps, media.videoSeconds, 1.0 / c.fps + 1e-6);
  // A recording without sound still marks its groups (0x1000), which counts as audio for the
  // conversion: its output carries a silent track. Only sound that is there is checked.
  if (c.audio && wmv) {
    EXPECT_EQ("wmav2", media.audioCodec);
    EXPECT_EQ(16000, media.sampleRate);
    EXPECT_EQ(1, media.channels);
  } else if (c.audio) {
    EXPECT_EQ("pcm_s16le", media.audioCodec);
  }
}

using recgen::VideoCodec;
INSTANTIATE_TEST_SUITE_P(
    Sources, ConvertMatrix,
    ::testing::Values(
        Case{"h264_pal_g726_16_wmv_cbr", VideoCodec::H264, 352, 288, 25, false, 0x1011, "wmv", {"--cbr", "384"}},
        Case{"mpeg4_pal_g722_wmv_vbr", VideoCodec::Mpeg4, 352, 288, 25, false, 0x7221, "wmv", {"--vbr", "70"}},
        Case{"mpeg4sh_qcif_ntsc_ulaw_wmv", VideoCodec::Mpeg4Sh, 176, 120, 30, true, 0x7110, "wmv", {}},
        Case{"h264_qcif_ntsc_alaw_avi", VideoCodec::H264, 176, 120, 30, true, 0x7111, "avi", {}},
        Case{"h264_ntsc_adpcm_avi", VideoCodec::H264, 352, 240, 30, true, 0x1001, "avi", {}},
        Case{"mpeg4_pal_g726_24_avi", VideoCodec::Mpeg4, 352, 288, 25, false, 0x1012, "avi", {}},
        Case{"h264_pal_g726_32_wmv_vbr", VideoCodec::H264, 176, 144, 25, false, 0x1013, "wmv", {"--vbr", "85"}},
        Case{"mpeg4_4cif_silent_wmv", VideoCodec::Mpeg4, 704, 576, 25, false, std::nullopt, "wmv", {}},
        Case{"h264_cif_silent_avi", VideoCodec::H264, 352, 288, 25, false, std::nullopt, "avi", {}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST_F(ConvertBatch, SizePresetFollowsTheSourceStandard) {
  Case c = kCif;
  c.height = 240;
  c.ntsc = true;
  const fs::path source = dir_ / "ntsc.mp4";
  Write(source, c);
  const ProcessResult run = Batch({"--size", ".2CIF", source.string()});
  ASSERT_EQ(0, run.status) << run.out << run.err;
  const MediaSummary media = ProbeMedia(source.string() + "_OUTPUT.WMV");
  EXPECT_EQ(704, media.width);
  EXPECT_EQ(240, media.height);
}

TEST_F(ConvertBatch, DamagedSourceConvertsWhatIsDecodable) {
  recgen::Options options;
  options.frames = 75;
  options.audioCode = 0x1011;
  options.damage.flipCount = 40;
  options.damage.seed = 7;
  options.output = (dir_ / "damaged.mp4").string();
  const recgen::RecordingSummary written = recgen::WriteRecording(options);
  const ProcessResult run = Batch({options.output});
  EXPECT_NE(std::string::npos, run.out.find("Convert Success")) << run.out << run.err;
  const MediaSummary media = ProbeMedia(options.output + "_OUTPUT.WMV");
  ASSERT_TRUE(media.opened);
  EXPECT_GT(media.videoFrames, 0);
  EXPECT_LE(media.videoFrames, written.frames);
}

TEST_F(ConvertBatch, UnconvertibleFilesFailAndTheWalkGoesOn) {
  const fs::path text = dir_ / "notes.mp4";
  std::ofstream(text) << "not a recording at all, just some words in a file\n";
  const fs::path missing = dir_ / "gone.264";
  fs::create_symlink(dir_ / "nowhere", missing);
  const fs::path good = dir_ / "good.mp4";
  Write(good, kCif, 1);
  const ProcessResult run = Batch({"--to", "avi", text.string(), missing.string(), good.string()});
  EXPECT_EQ(1, run.status);
  EXPECT_NE(std::string::npos, run.out.find("notes.mp4_OUTPUT.AVI  [")) << run.out;
  EXPECT_NE(std::string::npos, run.out.find("2 Create Failed!")) << run.out;
  EXPECT_NE(std::string::npos, run.out.find("good.mp4_OUTPUT.AVI")) << run.out;
  EXPECT_NE(std::string::npos, run.out.find("1 Convert Success")) << run.out;
  EXPECT_TRUE(ProbeMedia(good.string() + "_OUTPUT.AVI").opened);
}

TEST_F(ConvertBatch, SameNamesInTwoFoldersGetNumberedOutputs) {
  Write(dir_ / "a" / "ch01.mp4", kCif, 1);
  Write(dir_ / "b" / "ch01.mp4", kCif, 1);
  const ProcessResult run = Batch({(dir_ / "a").string(), (dir_ / "b").string()});
  ASSERT_EQ(0, run.status) << run.out << run.err;
  EXPECT_TRUE(ProbeMedia(dir_ / "a" / "ch01.mp4_OUTPUT.WMV").opened);
  EXPECT_TRUE(ProbeMedia(dir_ / "b" / "ch01.mp4_1_OUTPUT.WMV").opened);
}

// Ctrl-C stops the running job as the Stop button does; the writer closes a file that plays.
// One file at a time, so the second is never started.
TEST_F(ConvertBatch, InterruptStopsTheJobWithHandStop) {
  const fs::path first = dir_ / "long.mp4";
  const fs::path second = dir_ / "next.mp4";
  Case large = kCif;
  large.codec = recgen::VideoCodec::Mpeg4;
  large.width = 704;
  large.height = 576;
  const int frames = static_cast<int>(Write(first, large, 30).frames);
  Write(second, kCif, 1);
  const fs::path output = first.string() + "_OUTPUT.WMV";
  // Once the writer has put out its first buffer, some frames are in the file.
  ProcessOptions interrupt;
  interrupt.interruptWhen = output.string() + ".part";
  interrupt.interruptAtBytes = kWriterBufferBytes;
  const ProcessResult run = Batch({"-j", "1", first.string(), second.string()}, interrupt);
  EXPECT_EQ(1, run.status);
  EXPECT_NE(std::string::npos, run.out.find("Hand Stop")) << run.out << run.err;
  EXPECT_NE(std::string::npos, run.out.find("1 Not converted")) << run.out;
  // Finalised first, then renamed: the stopped file plays under the output's name.
  EXPECT_FALSE(fs::exists(output.string() + ".part"));
  const MediaSummary media = ProbeMedia(output);
  ASSERT_TRUE(media.opened);
  EXPECT_GT(media.videoFrames, 0);
  EXPECT_LT(media.videoFrames, frames);
}

// ---- Conversions that cannot finish ---------------------------------------------------------

// How long a failing conversion may take to say so: less than the stall watch's limit, so the
// error itself ended the job.
constexpr auto kFailureNoticed = std::chrono::seconds(30);

struct FailedRun {
  ProcessResult run;
  std::chrono::steady_clock::duration took;
};

class ConvertFailures : public ConvertBatch, public ::testing::WithParamInterface<const char*> {
 protected:
  std::string Output(const fs::path& source) const {
    const std::string kind = GetParam();
    return source.string() + (kind == "wmv" ? "_OUTPUT.WMV" : kind == "avi" ? "_OUTPUT.AVI" : "_OUTPUT.MP4");
  }
  // A 4CIF MPEG-4 recording with sound.
  fs::path WriteLarge(const char* name, int seconds) {
    Case large = kCif;
    large.codec = recgen::VideoCodec::Mpeg4;
    large.width = 704;
    large.height = 576;
    const fs::path source = dir_ / name;
    Write(source, large, seconds);
    return source;
  }
  FailedRun Convert(const std::vector<fs::path>& sources, const ProcessOptions& options) {
    std::vector<std::string> args{"-j", "1", "--to", GetParam()};
    for (const fs::path& source : sources) args.push_back(source.string());
    const auto start = std::chrono::steady_clock::now();
    ProcessResult run = Batch(args, options);
    return {std::move(run), std::chrono::steady_clock::now() - start};
  }
  // The failed job says so, the walk goes on with the next file, and no file looks complete.
  void ExpectFailedThenConverted(const FailedRun& failed, const fs::path& source,
                                 const fs::path& next) {
    std::cout << "failed conversion ended after "
              << std::chrono::duration_cast<std::chrono::milliseconds>(failed.took).count()
              << " ms\n";
    EXPECT_LT(failed.took, kFailureNoticed);
    EXPECT_EQ(1, failed.run.status) << failed.run.out << failed.run.err;
    EXPECT_NE(std::string::npos, failed.run.out.find("1 Convert Error")) << failed.run.out;
    EXPECT_NE(std::string::npos, failed.run.out.find("1 Convert Success")) << failed.run.out;
    EXPECT_EQ(std::string::npos, failed.run.out.find("Hand Stop")) << failed.run.out;
    EXPECT_FALSE(fs::exists(Output(source)));
    EXPECT_FALSE(fs::exists(Output(source) + ".part"));
    EXPECT_TRUE(ProbeMedia(Output(next)).opened);
  }
};

// A full disk, made by a file size limit: writes fail with EFBIG.
TEST_P(ConvertFailures, FullDiskEndsTheJobWithConvertError) {
  const fs::path source = WriteLarge("full.mp4", kFullDiskSourceSeconds);
  const fs::path next = dir_ / "small.mp4";
  Write(next, kCif, 1);
  // Room for the registry's log to grow a little (the AVI settings are stored) and for the
  // small file's output, none for the large one's.
  uintmax_t largest = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(RegistryFolder()))
    if (entry.is_regular_file()) largest = std::max(largest, entry.file_size());
  ProcessOptions limited;
  limited.fileSizeBlocks = static_cast<int>((largest + kRegistryGrowthBytes) / kShellBlockBytes);
  const FailedRun failed = Convert({source, next}, limited);
  ExpectFailedThenConverted(failed, source, next);
}

// The source is cut while it is read, as when a removable disk goes away.
TEST_P(ConvertFailures, SourceThatBecomesUnreadableEndsTheJobWithConvertError) {
  const fs::path source = WriteLarge("cut.mp4", kCutSourceSeconds);
  // Padding after the recording (skipped as damage) makes the file longer than the file source
  // reads at once, so it must read again after the cut.
  fs::resize_file(source, fs::file_size(source) + kSourceReadBytes * 3);
  const fs::path next = dir_ / "small.mp4";
  Write(next, kCif, 1);
  ProcessOptions cut;
  cut.interruptWhen = Output(source) + ".part";
  cut.instead = [&] { fs::resize_file(source, kSourceReadBytes / 4); };
  const FailedRun failed = Convert({source, next}, cut);
  ExpectFailedThenConverted(failed, source, next);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ConvertFailures, ::testing::Values("wmv", "avi", "mp4"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

TEST_F(ConvertBatch, CapitalEndingsAreFoundInAFolder) {
  Write(dir_ / "export" / "CH01.MP4", kCif, 1);
  const ProcessResult run = Batch({(dir_ / "export").string()});
  ASSERT_EQ(0, run.status) << run.out << run.err;
  EXPECT_TRUE(ProbeMedia(dir_ / "export" / "CH01.MP4_OUTPUT.WMV").opened);
}

TEST_F(ConvertBatch, UsageErrorsExitWithTwo) {
  EXPECT_EQ(2, Batch({}).status);
  EXPECT_EQ(2, Batch({"--to", "mov", "x.mp4"}).status);
  EXPECT_EQ(2, Batch({"-j", "0", "x.mp4"}).status);
  EXPECT_EQ(2, Batch({"--cbr", "500", "--vbr", "80", "x.mp4"}).status);
  EXPECT_EQ(2, Batch({"--vbr", "120", "x.mp4"}).status);
  EXPECT_EQ(2, Batch({"--size", "huge", "x.mp4"}).status);
}

}  // namespace
