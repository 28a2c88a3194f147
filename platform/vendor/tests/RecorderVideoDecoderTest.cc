#include "RecorderVideoDecoder.h"

#include <gtest/gtest.h>

#include "recorder/GroupAssembler.h"
#include "TestStream.h"

using namespace recorder;
using vendor::RecorderVideoDecoder;

namespace {

// The video block payloads of a test stream, in order.
std::vector<std::vector<uint8_t>> VideoPayloads(const vendortest::TestStream& stream) {
  recorder::GroupAssembler assembler(1 << 20);
  assembler.Append(stream.groups);
  std::vector<std::vector<uint8_t>> payloads;
  while (auto group = assembler.Next())
    for (int n = 0; auto block = NthVideoBlock(*group, n); ++n)
      payloads.emplace_back(block->payload, block->end);
  return payloads;
}

TEST(RecorderVideoDecoderTest, ChoosesTheCodecByMagic) {
  EXPECT_EQ(RecorderVideoDecoder::CodecForMagic(kMagic4HLQ), AV_CODEC_ID_H264);
  EXPECT_EQ(RecorderVideoDecoder::CodecForMagic(kMagic4MLQ), AV_CODEC_ID_MPEG4);
  EXPECT_EQ(RecorderVideoDecoder::CodecForMagic(kMagic4MSH), AV_CODEC_ID_MPEG4);
  EXPECT_EQ(RecorderVideoDecoder::Create(0x12345678), nullptr);
}

TEST(RecorderVideoDecoderTest, DecodesEveryFrameWithItsStampAndSurvivesGarbage) {
  vendortest::TestStreamOptions options;
  options.magic = kMagic4MSH;
  options.frames = 20;
  options.groupFrames = 10;  // one GOP of two groups: only the first frame is a key frame
  const auto payloads = VideoPayloads(vendortest::MakeTestStream(options));
  ASSERT_EQ(payloads.size(), 20u);
  auto decoder = RecorderVideoDecoder::Create(kMagic4MSH);
  ASSERT_TRUE(decoder);
  std::vector<int64_t> stamps;
  const auto collect = [&](const AVFrame& frame) {
    EXPECT_EQ(frame.width, 176);
    stamps.push_back(frame.pts);
  };
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(decoder->Decode(payloads[i], 40 * i, collect));
  EXPECT_EQ(stamps, (std::vector<int64_t>{0, 40, 80, 120, 160}));

  const std::vector<uint8_t> garbage(300, 0xA5);
  decoder->Decode(garbage, 999, collect);
  EXPECT_FALSE(decoder->Decode({}, 999, collect)) << "an empty payload is refused";
  decoder->Reset();
  stamps.clear();
  for (int i = 0; i < 20; ++i) decoder->Decode(payloads[i], 40 * i, collect);
  decoder->Drain(collect);
  EXPECT_EQ(stamps.size(), 20u) << "from the key frame on, every frame again";
}

}  // namespace
