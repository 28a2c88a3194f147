#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "GroupBytes.h"
#include "recorder/StreamFormat.h"
#include "recorder/Trace.h"

using namespace recorder;
using recorder::testing::AppendBlock;
using recorder::testing::MakeGroup;

namespace {

std::vector<std::string> g_traces;
void Capture(const char* text, void*) { g_traces.emplace_back(text); }

struct TraceCapture {
  TraceCapture() {
    g_traces.clear();
    SetTraceHook(Capture);
  }
  ~TraceCapture() { SetTraceHook(nullptr); }
};

ParseResult Parse(const std::vector<uint8_t>& bytes, GroupView& view) {
  return ParseGroup(bytes.data(), bytes.data() + bytes.size(), view);
}

}  // namespace

TEST(StreamFormat, HeadersRoundTripEveryByte) {
  std::vector<uint8_t> raw(kGroupHeaderSize);
  for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(0x11 * i + 3);
  const auto file = ParseFileHeader(raw);
  const auto group = ParseGroupHeader(raw);
  const auto block = ParseBlockHeader(raw);
  ASSERT_TRUE(file && group && block);
  EXPECT_TRUE(std::equal(raw.begin(), raw.begin() + kFileHeaderSize, Serialize(*file).begin()));
  EXPECT_TRUE(std::equal(raw.begin(), raw.end(), Serialize(*group).begin()));
  EXPECT_TRUE(std::equal(raw.begin(), raw.begin() + kBlockHeaderSize, Serialize(*block).begin()));
  EXPECT_FALSE(ParseFileHeader(std::span(raw).first(39)));
  EXPECT_FALSE(ParseGroupHeader(std::span(raw).first(47)));
}

TEST(StreamFormat, GroupBoundaries) {
  GroupView view;
  auto empty = MakeGroup({});
  EXPECT_EQ(Parse(empty, view), ParseResult::Complete);
  EXPECT_EQ(view.firstBlock, view.end);
  EXPECT_EQ(view.Size(), kGroupHeaderSize);

  empty.pop_back();  // 47 bytes
  EXPECT_EQ(Parse(empty, view), ParseResult::Incomplete);

  TraceCapture traces;
  auto bad = MakeGroup({});
  bad[0] = 2;
  EXPECT_EQ(Parse(bad, view), ParseResult::Invalid);
  ASSERT_EQ(g_traces.size(), 1u);
  EXPECT_EQ(g_traces[0], "GroupHeader is not valid!\n");
}

TEST(StreamFormat, BlockCountUsesLowByteOnly) {
  const auto group = MakeGroup({kBlockVideo1, kBlockAudio1, kBlockVideo2}, 0x103);
  GroupView view;
  ASSERT_EQ(Parse(group, view), ParseResult::Complete);
  EXPECT_EQ(view.header.BlockCount(), 3);
  EXPECT_EQ(view.Size(), group.size());
}

TEST(StreamFormat, BadBlockTypeInvalidatesGroupAndTraces) {
  TraceCapture traces;
  const auto group = MakeGroup({kBlockVideo1, 0x1006});
  GroupView view;
  EXPECT_EQ(Parse(group, view), ParseResult::Invalid);
  ASSERT_EQ(g_traces.size(), 1u);
  EXPECT_EQ(g_traces[0], "Splitter : block_size = 10 00001006");
}

TEST(StreamFormat, BlockLengths) {
  std::vector<uint8_t> bytes;
  AppendBlock(bytes, kBlockAudio2, 0);
  BlockView block;
  ASSERT_EQ(ParseBlock(bytes.data(), bytes.data() + bytes.size(), block), ParseResult::Complete);
  EXPECT_EQ(block.Size(), kBlockHeaderSize);
  EXPECT_EQ(block.PayloadSize(), 0u);

  // A length that cannot fit (even one that would wrap a pointer) is "more bytes needed".
  for (uint32_t length : {21u, 0x7FFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFECu}) {
    wl32(&bytes[16], length);
    EXPECT_EQ(ParseBlock(bytes.data(), bytes.data() + bytes.size(), block),
              ParseResult::Incomplete)
        << length;
  }
  EXPECT_EQ(ParseBlock(bytes.data(), bytes.data() + 19, block), ParseResult::Incomplete);
}

TEST(StreamFormat, GroupStartNeedsWordOneThenNotOne) {
  const uint8_t twoOnes[] = {1, 0, 0, 0, 1, 0, 0, 0, 0x19, 0x10, 0, 0};
  EXPECT_FALSE(IsGroupStart(twoOnes, sizeof twoOnes));
  EXPECT_TRUE(IsGroupStart(twoOnes + 4, sizeof twoOnes - 4));
  const uint8_t threeOnes[] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_FALSE(IsGroupStart(threeOnes + 4, 8));
  EXPECT_TRUE(IsGroupStart(threeOnes + 4, 5));  // only the first word can be tested
  EXPECT_FALSE(IsGroupStart(threeOnes + 4, 4));
}

TEST(StreamFormat, AnIncompleteGroupSaysHowMuchItNeedsAtLeast) {
  const auto group = MakeGroup({kBlockVideo1, kBlockAudio1});  // 48 + 2 * (20 + 10) bytes
  GroupView view;
  size_t needed = 0;
  const auto parse = [&](size_t size) { return ParseGroup(group.data(), group.data() + size, view, &needed); };
  EXPECT_EQ(parse(10), ParseResult::Incomplete);
  EXPECT_EQ(needed, 48u);
  EXPECT_EQ(parse(60), ParseResult::Incomplete);
  EXPECT_EQ(needed, 68u);  // the first block's header is not whole yet
  EXPECT_EQ(parse(68), ParseResult::Incomplete);
  EXPECT_EQ(needed, 78u);
  EXPECT_EQ(parse(90), ParseResult::Incomplete);
  EXPECT_EQ(needed, 98u);
  EXPECT_EQ(parse(98), ParseResult::Incomplete);
  EXPECT_EQ(needed, 108u);
  EXPECT_EQ(parse(108), ParseResult::Complete);
}

TEST(StreamFormat, AStartCodeCutShortCanStillBeAGroupStart) {
  const uint8_t start[] = {1, 0, 0, 0, 0x00, 0x10, 0, 0};
  for (size_t n = 1; n <= sizeof start; ++n) EXPECT_TRUE(CouldBeGroupStart(start, n)) << n;
  EXPECT_FALSE(CouldBeGroupStart(start, 0));
  const uint8_t notStart[] = {1, 0, 2};
  EXPECT_FALSE(CouldBeGroupStart(notStart, 3));
  const uint8_t twoOnes[] = {1, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_TRUE(CouldBeGroupStart(twoOnes, 7));
  EXPECT_FALSE(CouldBeGroupStart(twoOnes, 8));
}

TEST(StreamFormat, StreamParametersAndResolutionTables) {
  FileHeader header;
  header.videoStandard = kStandardNtsc;
  header.version = 0x20040307;
  header.videoResolution = kResolutionQcif;
  EXPECT_EQ(DeriveStreamParams(header).size, (PictureSize{176, 128}));
  header.version = 0x20040308;
  header.videoResolution = 0x007800B0;  // bytes B0 00 78 00
  EXPECT_EQ(DeriveStreamParams(header).size, (PictureSize{176, 120}));

  EXPECT_EQ(ResolutionFromCode(0x1004, kStandardNtsc), (PictureSize{704, 480}));
  EXPECT_EQ(ResolutionFromCode(0x1008, kStandardPal), (PictureSize{528, 384}));
  EXPECT_EQ(ResolutionFromCode(0x1007, 0x7777), (PictureSize{160, 128}));
  EXPECT_EQ(ResolutionFromCode(0xFFFFFFFF, kStandardPal), (PictureSize{352, 288}));
  EXPECT_EQ(ResolutionFromCode(0x1001, 0), (PictureSize{352, 240}));

  EXPECT_EQ(NormaliseAudioCodec(0), kAudioAdpcm);
  EXPECT_EQ(NormaliseAudioCodec(0x1003), kAudioG722_24);
  EXPECT_EQ(NormaliseAudioCodec(0x7221), kAudioG7221);
  EXPECT_EQ(DescribeAudioCodec(kAudioAdpcm).silenceLength, 120u);
  EXPECT_EQ(DescribeAudioCodec(kAudioG722_16).silenceLength, 160u);
  EXPECT_EQ(DescribeAudioCodec(kAudioG711A).subtype, AudioSubtype::G711);
  EXPECT_EQ(DescribeAudioCodec(0x4444).subtype, AudioSubtype::None);
}

TEST(StreamFormat, CountsAndIndexesBlocksInGroupOrder) {
  const auto group =
      MakeGroup({kBlockAudio1, kBlockVideo1, kBlockAudio2, kBlockVideo3, kBlockVideo2});
  GroupView view;
  ASSERT_EQ(Parse(group, view), ParseResult::Complete);
  const BlockCounts counts = CountBlocks(view);
  EXPECT_EQ(counts.audio, 2);
  EXPECT_EQ(counts.video, 3);
  EXPECT_EQ(NthVideoBlock(view, 1)->type, kBlockVideo3);
  EXPECT_EQ(NthAudioBlock(view, 1)->type, kBlockAudio2);
  EXPECT_EQ(NthVideoBlock(view, 0)->start, view.firstBlock + 30);
  EXPECT_FALSE(NthVideoBlock(view, 3));
  EXPECT_FALSE(NthAudioBlock(view, -1));
}

TEST(StreamFormat, FrameDurationNeverDividesByZero) {
  EXPECT_EQ(FrameDuration(0x1019, 0), 400'000);
  EXPECT_EQ(FrameDuration(0x101E, 0), 333'333);
  EXPECT_EQ(FrameDuration(0x1000, 400'000), 400'000);
  EXPECT_EQ(FrameDuration(0x0FFF, 333'333), 333'333);
  EXPECT_EQ(FrameDuration(0, 0), 0);
}

// Truncated, random and overflowing input: the parser may answer anything but must stay inside
// the buffer (AddressSanitizer watches this test in CI).
TEST(StreamFormat, RandomAndTruncatedInputStaysInBounds) {
  std::mt19937 random(7);
  const auto good = MakeGroup({kBlockVideo1, kBlockAudio1, kBlockVideo1});
  for (int round = 0; round < 20000; ++round) {
    std::vector<uint8_t> bytes = good;
    bytes.resize(random() % (good.size() + 1));
    for (int flips = random() % 4; flips > 0 && !bytes.empty(); --flips)
      bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
    // Copy to an exactly-sized heap buffer so any overread is caught.
    auto exact = std::make_unique<uint8_t[]>(bytes.size() + 1);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    GroupView view;
    if (ParseGroup(exact.get(), exact.get() + bytes.size(), view) == ParseResult::Complete) {
      EXPECT_LE(view.end, exact.get() + bytes.size());
      (void)CountBlocks(view);
    }
    for (size_t i = 0; i < bytes.size(); ++i) (void)IsGroupStart(exact.get() + i, bytes.size() - i);
  }
}
