// Sample layouts and times: what the decoders downstream receive for each group.
#include "DebugOutput.h"
#include "ParserHarness.h"

using namespace recorder;
using namespace splitter;
using namespace splitter::testing;

namespace {

std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>> Times(
    const std::vector<DeliveredSample>& samples) {
  std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>> times;
  for (const auto& sample : samples) times.emplace_back(sample.start, sample.stop);
  return times;
}

using TimeList = std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>>;

}  // namespace

TEST(SampleAssembler, ThreeVideoBlocksGiveThreeSamplesThatEachCarryAllBlocks) {
  StreamBuilder stream;
  GroupSpec fields = MakeGroupSpec(kFrameTypeKey, 0, 0, 3, 5);
  fields.blocks[1].type = kBlockVideo3;
  fields.blocks[2].length = 9;
  stream.AddGroup(fields);
  ParserHarness h(kSystemVideo);
  ASSERT_EQ(h.Push(stream.Bytes()), S_OK);

  ASSERT_EQ(h.video.delivered.size(), 3u);
  EXPECT_EQ(Times(h.video.delivered),
            (TimeList{{0, 400'000}, {400'000, 800'000}, {800'000, 1'200'000}}));
  const std::vector<uint8_t>& bytes = stream.Bytes();
  for (uint32_t j = 1; j <= 3; ++j) {
    const DeliveredSample& sample = h.video.delivered[j - 1];
    EXPECT_TRUE(sample.syncPoint && !sample.discontinuity && !sample.preroll);
    EXPECT_EQ(WordAt(sample, 0), 3u);
    EXPECT_EQ(WordAt(sample, 4), j);
    EXPECT_EQ(WordAt(sample, 8), kFrameTypeKey);
    EXPECT_EQ(WordAt(sample, 12), 0x32323232u);
    EXPECT_EQ(WordAt(sample, 16), 0u);  // groupWord36: the group's offset
    EXPECT_EQ(WordAt(sample, 20), 0x40404040u);
    EXPECT_EQ(WordAt(sample, 24), 25u);
    EXPECT_EQ(WordAt(sample, 28), 1u);
    // Then the three blocks exactly as they stand in the stream, headers included.
    const std::vector<uint8_t> blocks(bytes.begin() + kGroupHeaderSize, bytes.end());
    EXPECT_EQ(std::vector<uint8_t>(sample.bytes.begin() + 32, sample.bytes.end()), blocks);
  }
}

TEST(SampleAssembler, AudioStepsUpToTheVideoClockAndTheFrameRateFollowsTheGroups) {
  StreamBuilder stream;
  for (int i = 0; i < 10; ++i) stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 0, 0, 1, 4));
  stream.AddGroup(MakeGroupSpec(kFrameTypeOther, 2, 6, 0, 0));
  GroupSpec thirty = MakeGroupSpec(kFrameTypeOther, 0, 0, 1, 4);
  thirty.frameRateCode = kFrameRateBase + 30;
  stream.AddGroup(thirty);
  GroupSpec noRate = thirty;
  noRate.frameRateCode = kFrameRateBase;  // names no rate: keeps 30 fps
  stream.AddGroup(noRate);

  ParserHarness h(kSystemVideo);
  std::string debug;
  SetDebugCapture([&](std::string_view text) { debug += text; });
  (void)h.Push(stream.Bytes());
  SetDebugCapture(nullptr);

  EXPECT_EQ(debug, "Splitter: Audio step up!");
  ASSERT_EQ(h.audio.delivered.size(), 3u + 2u);
  const TimeList audio = Times(h.audio.delivered);
  EXPECT_EQ(TimeList(audio.begin() + 3, audio.end()),
            (TimeList{{4'000'000, 4'400'000}, {4'400'000, 4'800'000}}));
  EXPECT_EQ(WordAt(h.audio.delivered[3], 0), kBlockAudio1);
  EXPECT_EQ(h.audio.delivered[3].bytes.size(), 16u + 6u);
  ASSERT_EQ(h.video.delivered.size(), 12u);
  EXPECT_EQ(h.video.delivered[10].start, 4'000'000);
  EXPECT_EQ(h.video.delivered[10].stop, 4'333'333);
  EXPECT_EQ(h.video.delivered[11].stop, 4'666'666);
}

TEST(SampleAssembler, SilenceComesFirstAfterAResetAndAudioAheadIsNotSteppedBack) {
  StreamBuilder stream;
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 1, 30, 2, 8));
  ParserHarness h;  // video and audio, ADPCM
  (void)h.Push(stream.Bytes());

  ASSERT_EQ(h.audio.delivered.size(), 4u);
  EXPECT_EQ(Times(h.audio.delivered), (TimeList{{0, 400'000},
                                                {400'000, 800'000},
                                                {800'000, 1'200'000},
                                                {1'200'000, 1'600'000}}));
  EXPECT_EQ(Times(h.video.delivered), (TimeList{{0, 400'000}, {400'000, 800'000}}));
  for (int i = 0; i < 3; ++i) {
    const DeliveredSample& silence = h.audio.delivered[i];
    ASSERT_EQ(silence.bytes.size(), 136u);
    EXPECT_EQ(WordAt(silence, 0), 0x1002u);
    EXPECT_EQ(silence.bytes[4], 0xEE);  // bytes 4 to 15 are not written
    EXPECT_TRUE(std::all_of(silence.bytes.begin() + 16, silence.bytes.end(),
                            [](uint8_t b) { return b == 0x0F; }));
    EXPECT_TRUE(silence.syncPoint && !silence.discontinuity && !silence.preroll);
  }
  EXPECT_EQ(h.CountTrace("Splitter : audio_adpcm block_size = 160\n"), 3);
}

TEST(SampleAssembler, SilenceFillerFollowsTheAudioCodec) {
  const std::pair<uint32_t, size_t> cases[] = {
      {0, 120}, {kAudioG722_16, 160}, {kAudioRawAdpcmAlias, 120}, {kAudioG7221, 0}};
  for (const auto& [codec, filler] : cases) {
    StreamBuilder stream;
    stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 0, 0, 1, 8));
    ParserHarness h(kSystemVideoAudio, codec);
    (void)h.Push(stream.Bytes());
    ASSERT_EQ(h.audio.delivered.size(), 3u) << codec;
    EXPECT_EQ(h.audio.delivered[0].bytes.size(), 16u + filler) << codec;
  }
}

TEST(SampleAssembler, AnAudioBlockLargerThanTheSampleFailsTheGroupBeforeItsVideo) {
  StreamBuilder stream;
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 1, 200, 1, 8));
  stream.AddGroup(MakeGroupSpec(kFrameTypeOther, 1, 100, 1, 8));
  ParserHarness h(kSystemVideoAudio, kAudioAdpcm, 16 + 150);
  EXPECT_EQ(h.Push(stream.Bytes()), S_OK);  // damaged data is never the upstream's error
  EXPECT_EQ(h.CountTrace("ProcessData:Failed to process group!!\n"), 1);
  ASSERT_EQ(h.video.delivered.size(), 1u);  // only the second group's video
  EXPECT_EQ(WordAt(h.video.delivered[0], 16), 48u + 20 + 200 + 20 + 8);
  EXPECT_EQ(h.audio.delivered.size(), 3u + 1u);
  EXPECT_EQ(h.audio.outstanding + h.video.outstanding, 0);
}

TEST(SampleAssembler, OutputFailuresEndOnlyThatOutputsDeliveryAndClocksStillAdvance) {
  StreamBuilder stream;
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 1, 10, 2, 8));
  stream.AddGroup(MakeGroupSpec(kFrameTypeOther, 1, 10, 1, 8));
  ParserHarness h;
  h.video.deliverStatus = E_FAIL;  // the first failed video delivery ends the group's video
  h.audio.getBufferStatus = E_FAIL;  // no audio sample can be had: silence is skipped
  const std::span<const uint8_t> bytes(stream.Bytes());
  EXPECT_EQ(h.Push(bytes.first(48 + 30 + 56)), E_FAIL);  // the downstream failure goes upstream
  EXPECT_EQ(h.video.delivered.size(), 1u);
  EXPECT_EQ(h.CountTrace("Cannot get audio delivery buffer!"), 1);

  h.video.deliverStatus = S_OK;
  h.audio.getBufferStatus = S_OK;
  h.audio.deliverStatus = E_FAIL;  // a failed audio delivery skips the group's video
  // The second group completes from the pending bytes; the failed audio delivery's status
  // reaches the upstream filter.
  EXPECT_EQ(h.Push(bytes.subspan(48 + 30 + 56, 60)), S_OK);
  EXPECT_EQ(h.Push(bytes.subspan(48 + 30 + 56 + 60)), E_FAIL);
  EXPECT_EQ(h.CountTrace("Failed to deliver audio sample!"), 1);
  EXPECT_EQ(h.video.delivered.size(), 1u);
  ASSERT_EQ(h.audio.delivered.size(), 1u);
  EXPECT_EQ(h.audio.delivered[0].start, 400'000);  // stepped up to the one stamped frame
  EXPECT_EQ(h.parser->VideoClock(), 400'000);
}
