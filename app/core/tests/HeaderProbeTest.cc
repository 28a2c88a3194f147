#include <gtest/gtest.h>

#include "HeaderBytes.h"
#include "HeaderProbe.h"

using namespace recast;
using recast::testing::HeaderBytes;
using recast::testing::HeaderSpec;

namespace {

constexpr uint32_t kOldVersion = recorder::kVersionExplicitSize - 1;
constexpr uint16_t kNtsc = recorder::kStandardNtsc;
constexpr uint16_t kPal = recorder::kStandardPal;

ProbeResult Probe(const HeaderSpec& fields, const ProbeResult& previous = {}) {
  const auto bytes = HeaderBytes(fields);
  const auto result = ProbeHeader(bytes, 1000, previous);
  EXPECT_TRUE(result.has_value());
  return result.value_or(ProbeResult{});
}

HeaderSpec OldHeader(uint32_t code, uint16_t standard) {
  HeaderSpec fields;
  fields.version = kOldVersion;
  fields.standard = standard;
  fields.fileResolution = code;
  fields.groupResolution = 0xDEADBEEF;  // must be ignored by an old header
  return fields;
}

HeaderSpec NewHeader(uint32_t code, uint16_t standard) {
  HeaderSpec fields;
  fields.standard = standard;
  fields.fileResolution = 0xDEADBEEF;  // must be ignored by a new header
  fields.groupResolution = code;
  return fields;
}

struct SizeCase {
  uint32_t code;
  uint16_t standard;
  int width;
  int height;
};

// Every code under both standards; old and new headers agree except for 0x1007 under NTSC.
const SizeCase kSizes[] = {
    {0x1001, kPal, 352, 288},  {0x1001, kNtsc, 352, 240}, {0x1002, kPal, 176, 144},
    {0x1002, kNtsc, 176, 120}, {0x1003, kPal, 704, 576},  {0x1003, kNtsc, 704, 480},
    {0x1004, kPal, 704, 288},  {0x1004, kNtsc, 704, 240}, {0x1005, kPal, 96, 80},
    {0x1005, kNtsc, 96, 64},   {0x1006, kNtsc, 320, 240}, {0x1008, kPal, 528, 384},
    {0x1008, kNtsc, 528, 320},
};

}  // namespace

TEST(HeaderProbe, ResolutionCodesByStandardInOldAndNewHeaders) {
  for (const SizeCase& c : kSizes) {
    for (const HeaderSpec& fields : {OldHeader(c.code, c.standard), NewHeader(c.code, c.standard)}) {
      const ProbeResult r = Probe(fields);
      EXPECT_EQ(r.width, c.width) << std::hex << c.code << " version " << fields.version;
      EXPECT_EQ(r.height, c.height) << std::hex << c.code << " version " << fields.version;
      EXPECT_EQ(r.standard, c.standard == kPal ? VideoStandard::Pal : VideoStandard::Ntsc);
      EXPECT_EQ(r.narrowNtsc, c.width == 176 && c.height == 120);
    }
  }
}

TEST(HeaderProbe, Code1007UnderNtscDependsOnHeaderVersion) {
  const ProbeResult fresh = Probe(NewHeader(0x1007, kNtsc));
  EXPECT_EQ(fresh.width, 176);
  EXPECT_EQ(fresh.height, 120);
  EXPECT_TRUE(fresh.narrowNtsc);

  const ProbeResult old = Probe(OldHeader(0x1007, kNtsc));
  EXPECT_EQ(old.width, 160);
  EXPECT_EQ(old.height, 128);
  EXPECT_FALSE(old.narrowNtsc);

  // The boundary version itself is a new header.
  HeaderSpec boundary = NewHeader(0x1007, kNtsc);
  boundary.version = recorder::kVersionExplicitSize;
  EXPECT_EQ(Probe(boundary).height, 120);
}

TEST(HeaderProbe, PalCodesWithoutSizeKeepThePreviousProbe) {
  ProbeResult previous;
  previous.width = 704;
  previous.height = 576;
  for (uint32_t code : {0x1006u, 0x1007u}) {
    for (const HeaderSpec& fields : {OldHeader(code, kPal), NewHeader(code, kPal)}) {
      const ProbeResult r = Probe(fields, previous);
      EXPECT_EQ(r.width, 704) << std::hex << code;
      EXPECT_EQ(r.height, 576) << std::hex << code;
    }
  }
}

TEST(HeaderProbe, UnknownStandardKeepsThePreviousOneForTheTable) {
  ProbeResult previous;
  previous.standard = VideoStandard::Ntsc;
  const ProbeResult r = Probe(NewHeader(0x1001, 0x7777), previous);
  EXPECT_EQ(r.standard, VideoStandard::Ntsc);
  EXPECT_EQ(r.height, 240);
  EXPECT_EQ(Probe(NewHeader(0x1001, 0)).standard, VideoStandard::Pal);  // initial standard
}

TEST(HeaderProbe, CodeOutsideTableIsTheSizeItself) {
  // Old header: width at offset 28, height at 30; new header: at 60 and 62.
  const ProbeResult old = Probe(OldHeader(0x01E00280, kPal));
  EXPECT_EQ(old.width, 640);
  EXPECT_EQ(old.height, 480);
  const ProbeResult fresh = Probe(NewHeader(0x00780000 | 176, kPal));
  EXPECT_EQ(fresh.width, 176);
  EXPECT_EQ(fresh.height, 120);
  EXPECT_TRUE(fresh.narrowNtsc);  // the flag follows the size, not the standard
}

TEST(HeaderProbe, FrameRateRule) {
  const std::pair<uint32_t, int> cases[] = {
      {0x1000, 25}, {0x1033, 25}, {0x1032, 50}, {0x1001, 1},
      {0x100F, 15}, {0x0FFF, 25}, {0, 25},      {0xFFFFFFFF, 25},
  };
  for (const auto& [code, rate] : cases) {
    HeaderSpec fields;
    fields.frameRateCode = code;
    EXPECT_EQ(Probe(fields).frameRate, rate) << std::hex << code;
  }
}

TEST(HeaderProbe, AudioWordAnyNonzeroValueMeansAudio) {
  HeaderSpec fields;
  for (const auto& [word, audio] : {std::pair{0u, 0}, {1u, 2}, {0x100u, 2}, {0x80000000u, 2}}) {
    fields.audioWord = word;
    EXPECT_EQ(Probe(fields).audio, audio) << std::hex << word;
  }
}

TEST(HeaderProbe, FilesSizesAndFailures) {
  recast::testing::TempDir dir;
  const std::string good = dir.Recording("good.mp4", {}, 5000);
  const FileProbe probe = ProbeFile(good, {});
  ASSERT_TRUE(probe.result);
  EXPECT_EQ(probe.fileSize, kProbeSize + 5000);
  EXPECT_EQ(probe.result->fileSize, kProbeSize + 5000);
  EXPECT_EQ(probe.result->width, 352);

  std::vector<uint8_t> shortHead = HeaderBytes({});
  shortHead.resize(kProbeSize - 1);
  recast::testing::WriteBytes(dir.Path() / "short.mp4", shortHead);
  const FileProbe truncated = ProbeFile((dir.Path() / "short.mp4").string(), {});
  EXPECT_FALSE(truncated.result);
  EXPECT_EQ(truncated.fileSize, kProbeSize - 1);
  EXPECT_NE(truncated.error.find("87 bytes"), std::string::npos) << truncated.error;

  EXPECT_FALSE(ProbeFile((dir.Path() / "missing.mp4").string(), {}).result);
  EXPECT_FALSE(ProbeFile(dir.Path().string(), {}).result);  // a folder is not a recording
  EXPECT_FALSE(ProbeHeader(shortHead, 0, {}).has_value());
}

// Recordings of a long day pass 4 GiB; a sparse file has the size without the disk use.
TEST(HeaderProbe, SizesAbove4GiBReadBackWhole) {
  recast::testing::TempDir dir;
  const std::string big = dir.Recording("big.mp4", {}, 100);
  constexpr uint64_t kFiveGiB = uint64_t{5} << 30;
  std::filesystem::resize_file(big, kFiveGiB);
  const FileProbe probe = ProbeFile(big, {});
  ASSERT_TRUE(probe.result);
  EXPECT_EQ(probe.fileSize, kFiveGiB);
  EXPECT_EQ(probe.result->fileSize, kFiveGiB);
}
