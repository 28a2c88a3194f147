// The group parser: a stream cut anywhere gives the samples of the uncut stream; damage
// costs only the damaged groups; resynchronisation, reset and faults.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>

#include "ParserHarness.h"

using namespace recorder;
using namespace splitter;
using namespace splitter::testing;

namespace {

// Five groups: key, ordinary, audio-only, empty, resumable; 0- to 3-block groups, audio
// before video and a zero-length video block.
std::vector<uint8_t> SmallStream() {
  StreamBuilder stream;
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 1, 40, 1, 60));
  stream.AddGroup(MakeGroupSpec(kFrameTypeOther, 0, 0, 2, 25));
  stream.AddGroup(MakeGroupSpec(kFrameTypeOther, 2, 12, 0, 0));
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 0, 0, 0, 0));
  GroupSpec last = MakeGroupSpec(kFrameTypeResume, 1, 8, 3, 17);
  last.blocks[2].length = 0;
  stream.AddGroup(last);
  return stream.Bytes();
}

// Groups of CIF-like sizes with an audio block each; every 12th is a key group.
std::vector<uint8_t> LargeStream(uint32_t seed, int groups) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<uint32_t> frameSize(500, 20'000);
  StreamBuilder stream;
  for (int i = 0; i < groups; ++i) {
    const uint32_t type = i % 12 == 0 ? kFrameTypeKey : kFrameTypeOther;
    stream.AddGroup(MakeGroupSpec(type, 1, 160, 1 + i % 3, frameSize(random)));
  }
  return stream.Bytes();
}

struct Outputs {
  std::vector<DeliveredSample> video;
  std::vector<DeliveredSample> audio;
};

template <typename Push>
Outputs RunParser(Push push) {
  ParserHarness harness;
  push(harness);
  EXPECT_EQ(harness.video.outstanding, 0);
  EXPECT_EQ(harness.audio.outstanding, 0);
  return {harness.video.delivered, harness.audio.delivered};
}

Outputs RunWhole(const std::vector<uint8_t>& stream) {
  return RunParser([&](ParserHarness& h) { (void)h.Push(stream); });
}

void ExpectSameOutputs(const Outputs& expected, const Outputs& actual, const std::string& how) {
  ASSERT_EQ(expected.video.size(), actual.video.size()) << how;
  ASSERT_EQ(expected.audio.size(), actual.audio.size()) << how;
  for (size_t i = 0; i < expected.video.size(); ++i)
    ASSERT_TRUE(expected.video[i] == actual.video[i]) << how << ", video sample " << i;
  for (size_t i = 0; i < expected.audio.size(); ++i)
    ASSERT_TRUE(expected.audio[i] == actual.audio[i]) << how << ", audio sample " << i;
}

// The groupWord36 of a video sample: the stream offset of the group it came from.
std::vector<uint32_t> VideoGroupOffsets(const Outputs& outputs) {
  std::vector<uint32_t> offsets;
  for (const auto& sample : outputs.video)
    if (WordAt(sample, 4) == 1) offsets.push_back(WordAt(sample, 16));
  return offsets;
}

}  // namespace

TEST(GroupParserCuts, EveryBoundaryOfASmallStreamGivesTheUncutSamples) {
  const auto stream = SmallStream();
  const Outputs whole = RunWhole(stream);
  ASSERT_EQ(whole.video.size(), 1u + 2u + 3u);
  ASSERT_EQ(whole.audio.size(), 3u + 1u + 2u + 1u);  // silence, then the audio blocks

  for (size_t cut = 1; cut < stream.size(); ++cut) {
    const Outputs split = RunParser([&](ParserHarness& h) { h.PushInPieces(stream, {cut}); });
    ExpectSameOutputs(whole, split, "cut at " + std::to_string(cut));
  }
  for (size_t piece = 1; piece <= 64; ++piece) {
    const Outputs split = RunParser([&](ParserHarness& h) { h.PushEvery(stream, piece); });
    ExpectSameOutputs(whole, split, "pieces of " + std::to_string(piece));
  }
}

TEST(GroupParserCuts, RandomBoundariesOfALargeStreamGiveTheUncutSamples) {
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    const auto stream = LargeStream(seed, 150);
    const Outputs whole = RunWhole(stream);
    ASSERT_GT(whole.video.size(), 150u);
    std::mt19937 random(seed);
    std::uniform_int_distribution<size_t> pieceSize(1, 9000);
    std::vector<size_t> sizes(stream.size() / 2000);
    for (size_t& size : sizes) size = pieceSize(random);
    const Outputs split = RunParser([&](ParserHarness& h) { h.PushInPieces(stream, sizes); });
    ExpectSameOutputs(whole, split, "seed " + std::to_string(seed));
    const Outputs network = RunParser([&](ParserHarness& h) { h.PushEvery(stream, 2048); });
    ExpectSameOutputs(whole, network, "2048-byte samples, seed " + std::to_string(seed));
  }
}

TEST(GroupParserCuts, AGroupCutAfter30BytesIsCompletedAndTheRestParsedInTheSameCall) {
  StreamBuilder stream;
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 0, 0, 1, 100));
  stream.AddGroup(MakeGroupSpec(kFrameTypeOther, 0, 0, 1, 100));
  ParserHarness h;
  const std::span<const uint8_t> bytes(stream.Bytes());
  EXPECT_EQ(h.Push(bytes.first(30)), S_OK);
  EXPECT_TRUE(h.video.delivered.empty());
  EXPECT_EQ(h.Push(bytes.subspan(30)), S_OK);
  EXPECT_EQ(h.video.delivered.size(), 2u);
  EXPECT_EQ(h.CountTrace("Enter ProcessDataInTemp"), 1);
}

std::vector<uint8_t> Garbage(size_t size) {
  std::mt19937 random(7);
  std::vector<uint8_t> garbage(size);
  for (auto& byte : garbage) byte = static_cast<uint8_t>(random() % 3);  // dense in 00 and 01
  return garbage;
}

TEST(GroupParserDamage, GarbageBeforeTheFirstGroupIsSkipped) {
  const auto clean = SmallStream();
  StreamBuilder damaged;
  damaged.AddBytes(Garbage(3000));
  damaged.AddBytes(clean);
  for (size_t piece : {size_t{7}, size_t{2048}, damaged.Bytes().size()}) {
    const Outputs out = RunParser([&](ParserHarness& h) { h.PushEvery(damaged.Bytes(), piece); });
    ExpectSameOutputs(RunWhole(clean), out, "pieces of " + std::to_string(piece));
  }
}

TEST(GroupParserDamage, ADamagedStreamCutAnywhereGivesTheSamplesOfTheUncutOne) {
  StreamBuilder damaged;
  damaged.AddBytes(Garbage(150));
  const size_t bad = damaged.AddGroup(MakeGroupSpec(kFrameTypeKey, 1, 30, 1, 20));
  damaged.AddGroup(MakeGroupSpec(kFrameTypeOther, 0, 0, 1, 20));
  damaged.AddBytes({0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01});
  damaged.AddBytes(SmallStream());
  damaged.MutableBytes()[bad + kGroupHeaderSize + 1] = 0x20;  // block type 0x2001
  const Outputs whole = RunWhole(damaged.Bytes());
  ASSERT_FALSE(whole.video.empty());
  for (size_t cut = 1; cut < damaged.Bytes().size(); ++cut) {
    const Outputs split = RunParser([&](ParserHarness& h) { h.PushInPieces(damaged.Bytes(), {cut}); });
    ExpectSameOutputs(whole, split, "cut at " + std::to_string(cut));
  }
  for (size_t piece = 1; piece <= 64; ++piece) {
    const Outputs split = RunParser([&](ParserHarness& h) { h.PushEvery(damaged.Bytes(), piece); });
    ExpectSameOutputs(whole, split, "pieces of " + std::to_string(piece));
  }
}

// Damages one group in the middle of a long stream and checks, for whole-stream, 64 KiB and
// 2048-byte samples, which groups' video comes out: all but the damaged group, and after a
// damage that costs synchronisation nothing until the next key group.
class DamagedGroup : public ::testing::TestWithParam<size_t> {
 protected:
  void SetUp() override {
    for (int i = 0; i < 40; ++i) {
      const uint32_t type = i % 10 == 0 ? kFrameTypeKey : kFrameTypeOther;
      offsets_.push_back(stream_.AddGroup(MakeGroupSpec(type, 1, 160, 1, 3000 + 100 * i)));
    }
  }
  void Check(size_t damagedGroup, bool losesSync) {
    std::vector<uint32_t> expected;
    for (size_t i = 0; i < offsets_.size(); ++i) {
      const bool skipped = losesSync && i > damagedGroup && i < (damagedGroup / 10 + 1) * 10;
      if (i != damagedGroup && !skipped) expected.push_back(static_cast<uint32_t>(offsets_[i]));
    }
    const Outputs out = RunParser([&](ParserHarness& h) { h.PushEvery(stream_.Bytes(), GetParam()); });
    EXPECT_EQ(VideoGroupOffsets(out), expected);
  }
  StreamBuilder stream_;
  std::vector<size_t> offsets_;
};

TEST_P(DamagedGroup, ABadBlockTypeLosesTheGroupAndResumesAtTheNextKeyGroup) {
  stream_.MutableBytes()[offsets_[13] + kGroupHeaderSize] = 0x07;  // type 0x1007
  Check(13, true);
}

TEST_P(DamagedGroup, AFlippedStartCodeLosesOnlyThatGroup) {
  stream_.MutableBytes()[offsets_[22]] ^= 0x40;
  Check(22, false);
}

TEST_P(DamagedGroup, AGroupLargerThanTheAssemblyBufferIsDroppedWithResync) {
  StreamBuilder stream;
  offsets_.clear();
  for (int i = 0; i < 20; ++i) {
    const uint32_t length = i == 4 ? GroupParser::kAssemblyCapacity + 10'000 : 2000;
    const uint32_t type = i % 10 == 0 ? kFrameTypeKey : kFrameTypeOther;
    offsets_.push_back(stream.AddGroup(MakeGroupSpec(type, 0, 0, 1, length)));
  }
  stream_ = stream;
  if (GetParam() >= stream_.Bytes().size()) {
    // In one sample the group is complete in place; it only fails to fit the video sample.
    const Outputs out = RunWhole(stream_.Bytes());
    EXPECT_EQ(VideoGroupOffsets(out).size(), 19u);
    return;
  }
  Check(4, true);
}

INSTANTIATE_TEST_SUITE_P(SampleSizes, DamagedGroup,
                         ::testing::Values(size_t{2048}, size_t{65536}, size_t{1} << 24));

TEST(GroupParserDamage, AGroupThatCannotFitTheBufferIsDroppedHoweverItArrives) {
  StreamBuilder stream;
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 0, 0, 1, GroupParser::kAssemblyCapacity + 100));
  const size_t next = stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 0, 0, 1, 10));
  const std::span<const uint8_t> bytes(stream.Bytes());
  const size_t firstPart = GroupParser::kAssemblyCapacity + 50;  // more than fits, not all
  {
    ParserHarness h;
    (void)h.Push(bytes.first(firstPart));
    (void)h.Push(bytes.subspan(firstPart));
    EXPECT_EQ(h.CountTrace("ProcessData:Splitter : Buf is over!"), 1);
    ASSERT_EQ(h.video.delivered.size(), 1u);
    EXPECT_EQ(WordAt(h.video.delivered[0], 16), next);
  }
  ParserHarness h;
  h.PushInPieces(bytes, {1000, firstPart});
  EXPECT_EQ(h.CountTrace("Splitter : 临时缓冲满"), 1);
  ASSERT_EQ(h.video.delivered.size(), 1u);
  EXPECT_EQ(WordAt(h.video.delivered[0], 16), next);
}

TEST(GroupParserResume, EachSystemTypeResumesOnlyWhereItsDecoderCan) {
  StreamBuilder stream;
  stream.AddGroup(MakeGroupSpec(kFrameTypeOther, 0, 0, 1, 10));   // never a resume point
  stream.AddGroup(MakeGroupSpec(kFrameTypeResume, 1, 10, 1, 10)); // resume, with audio
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 0, 0, 1, 10));
  const std::span<const uint8_t> bytes(stream.Bytes());
  const auto firstVideoOffset = [&](uint16_t systemType) -> int64_t {
    ParserHarness h(systemType);
    (void)h.Push(bytes);
    return h.video.delivered.empty() ? -1 : int64_t{WordAt(h.video.delivered[0], 16)};
  };
  const int64_t second = 48 + 30, third = second + 48 + 2 * 30;
  EXPECT_EQ(firstVideoOffset(kSystemVideo), second);
  EXPECT_EQ(firstVideoOffset(kSystemAudio), second);
  EXPECT_EQ(firstVideoOffset(kSystemVideoAudio), third);  // with audio only a key group
  EXPECT_EQ(firstVideoOffset(0x1004), -1);
}

TEST(GroupParserResume, ResumingAtAGroupWithoutAudioSendsSilenceAgain) {
  StreamBuilder stream;
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 1, 10, 1, 10));
  const size_t damaged = stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 1, 10, 1, 10));
  stream.AddGroup(MakeGroupSpec(kFrameTypeOther, 0, 0, 1, 10));
  stream.AddGroup(MakeGroupSpec(kFrameTypeResume, 0, 0, 1, 10));
  stream.MutableBytes()[damaged + kGroupHeaderSize] = 0x09;  // block type 0x1009
  ParserHarness h;
  (void)h.Push(stream.Bytes());
  EXPECT_EQ(h.video.delivered.size(), 2u);
  EXPECT_EQ(h.audio.delivered.size(), 3u + 1u + 3u);
  EXPECT_EQ(h.CountTrace("ProcessData:Splitter : process fails!"), 1);
}

TEST(GroupParserLifecycle, AnEmptySampleFailsAndKeepsThePendingGroup) {
  StreamBuilder stream;
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 0, 0, 1, 100));
  ParserHarness h;
  const std::span<const uint8_t> bytes(stream.Bytes());
  EXPECT_EQ(h.Push(bytes.first(60)), S_OK);
  EXPECT_EQ(h.parser->Receive(bytes.data(), 0), E_FAIL);
  EXPECT_EQ(h.Push(bytes.subspan(60)), S_OK);
  EXPECT_EQ(h.video.delivered.size(), 1u);
}

TEST(GroupParserLifecycle, ResetBetweenTwoHalvesOfAGroupDiscardsIt) {
  StreamBuilder stream;
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 0, 0, 1, 100));
  const size_t second = stream.AddGroup(MakeGroupSpec(kFrameTypeOther, 0, 0, 1, 100));
  const size_t third = stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 0, 0, 1, 100));
  ParserHarness h;
  const std::span<const uint8_t> bytes(stream.Bytes());
  (void)h.Push(bytes.first(second + 70));
  ASSERT_EQ(h.video.delivered.size(), 1u);
  h.parser->Reset();
  (void)h.Push(bytes.subspan(second + 70));
  ASSERT_EQ(h.video.delivered.size(), 2u);
  EXPECT_EQ(WordAt(h.video.delivered[1], 16), third);
  EXPECT_EQ(h.video.delivered[1].start, 0);    // clocks restarted
  EXPECT_EQ(h.audio.delivered.size(), 6u);      // and silence sent again
}

TEST(GroupParserLifecycle, AFaultInDeliveryIsContainedAndStreamingGoesOn) {
  StreamBuilder stream;
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 0, 0, 1, 10));
  stream.AddGroup(MakeGroupSpec(kFrameTypeOther, 0, 0, 1, 10));
  ParserHarness h;
  int calls = 0;
  h.video.onDeliver = [&] {
    if (calls++ == 0) throw std::runtime_error("decoder fault");
  };
  EXPECT_EQ(h.Push(stream.Bytes()), S_OK);
  EXPECT_EQ(h.video.delivered.size(), 1u);  // the second group still went out
  EXPECT_EQ(h.video.outstanding, 0);        // the faulting sample was released
  EXPECT_EQ(h.video.delivered[0].start, 400'000);
}

// A stopped or broken graph downstream is told upstream, so a push source stops; the groups
// after the failed one in the same sample are not pushed into it.
TEST(GroupParserLifecycle, ADownstreamFailureIsReturnedUpstream) {
  StreamBuilder stream;
  for (int i = 0; i < 3; ++i) stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 0, 0, 1, 10));
  ParserHarness h;
  h.video.deliverStatus = E_ABORT;
  EXPECT_EQ(h.Push(stream.Bytes()), E_ABORT);
  EXPECT_EQ(h.video.delivered.size(), 1u);
  EXPECT_EQ(h.video.outstanding, 0);

  h.video.deliverStatus = S_FALSE;  // flushing downstream: not a failure
  EXPECT_EQ(h.Push(stream.Bytes()), S_OK);
  h.video.deliverStatus = S_OK;
  EXPECT_EQ(h.Push(stream.Bytes()), S_OK);  // the failure was not kept
}

TEST(GroupParserLifecycle, AFaultInParsingEndsTheCallAndDropsThePendingGroup) {
  StreamBuilder stream;
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 0, 0, 1, 100));
  ParserHarness h;
  const std::span<const uint8_t> bytes(stream.Bytes());
  (void)h.Push(bytes.first(50));
  recorder::SetTraceHook([](const char* text, void*) {
    if (std::string(text) == "Enter ProcessDataInTemp") throw std::runtime_error("fault");
  });
  EXPECT_EQ(h.Push(bytes.subspan(50)), E_FAIL);
  recorder::SetTraceHook(nullptr);
  (void)h.Push(bytes);  // nothing is pending: the whole group parses anew
  EXPECT_EQ(h.video.delivered.size(), 1u);
}

TEST(GroupParserLifecycle, ResetDoesNotWaitForAReceiveBlockedDownstream) {
  StreamBuilder stream;
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 0, 0, 1, 10));
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 0, 0, 1, 10));
  ParserHarness h;
  std::mutex lock;
  std::condition_variable changed;
  bool blocked = false, released = false;
  h.video.onDeliver = [&] {
    std::unique_lock guard(lock);
    blocked = true;
    changed.notify_all();
    changed.wait(guard, [&] { return released; });
  };
  std::thread streaming([&] { (void)h.Push(stream.Bytes()); });
  {
    std::unique_lock guard(lock);
    changed.wait(guard, [&] { return blocked; });
  }
  h.parser->Reset();  // must return while the streaming thread is stuck in Deliver
  EXPECT_EQ(h.parser->VideoClock(), 0);
  {
    std::lock_guard guard(lock);
    released = true;
  }
  changed.notify_all();
  streaming.join();
  h.video.onDeliver = nullptr;
  h.video.delivered.clear();
  (void)h.Push(stream.Bytes());
  ASSERT_EQ(h.video.delivered.size(), 2u);
  EXPECT_EQ(h.video.delivered[0].start, 0);  // the reset took effect before these bytes
}
