// Key frames and decoder configurations found in recorded frames without decoding them: what
// the copying multiplexers start the output at and put into the sample description.
#include <gtest/gtest.h>

#include <vector>

#include "ElementaryFrame.h"

namespace {

using Bytes = std::vector<uint8_t>;

// An H.264 access unit: SPS (4-byte start code), PPS, then an IDR slice (3-byte start code).
const Bytes kIdrFrame = {0, 0, 0, 1, 0x67, 0x42, 0xC0, 0x0D,  // SPS
                         0, 0, 0, 1, 0x68, 0xCE, 0x0F, 0xC8,  // PPS
                         0, 0, 1, 0x65, 0x88, 0x84, 0x00};    // IDR slice
const Bytes kPFrame = {0, 0, 0, 1, 0x41, 0x9A, 0x20, 0x8B};  // non-IDR slice
// MPEG-4 part 2: VOS, VO, VOL headers, then an intra VOP; and a predicted VOP alone.
const Bytes kIntraVop = {0, 0, 1, 0xB0, 0x01, 0, 0, 1, 0xB5, 0x09, 0, 0, 1, 0x00,
                         0, 0, 1, 0x20, 0x08, 0xC8, 0, 0, 1, 0xB6, 0x10, 0x60};
const Bytes kPredictedVop = {0, 0, 1, 0xB6, 0x51, 0x22};

TEST(ElementaryFrame, KeyFramesOfBothCodecs) {
  EXPECT_TRUE(IsKeyFrame(ElementaryCodec::H264, kIdrFrame));
  EXPECT_FALSE(IsKeyFrame(ElementaryCodec::H264, kPFrame));
  EXPECT_TRUE(IsKeyFrame(ElementaryCodec::Mpeg4Part2, kIntraVop));
  EXPECT_FALSE(IsKeyFrame(ElementaryCodec::Mpeg4Part2, kPredictedVop));
  // Nothing to recognise: never a key frame, and no read beyond the bytes.
  for (const Bytes& junk : {Bytes{}, Bytes{0, 0, 1}, Bytes{0, 0, 1, 0xB6}, Bytes{0, 0}}) {
    EXPECT_FALSE(IsKeyFrame(ElementaryCodec::H264, junk));
    EXPECT_FALSE(IsKeyFrame(ElementaryCodec::Mpeg4Part2, junk));
  }
}

TEST(ElementaryFrame, DecoderConfigurationIsTheParameterSetsOrHeaders) {
  const Bytes h264 = {0, 0, 0, 1, 0x67, 0x42, 0xC0, 0x0D, 0, 0, 0, 1, 0x68, 0xCE, 0x0F, 0xC8};
  EXPECT_EQ(h264, DecoderConfiguration(ElementaryCodec::H264, kIdrFrame));
  EXPECT_TRUE(DecoderConfiguration(ElementaryCodec::H264, kPFrame).empty());
  const Bytes headers(kIntraVop.begin(), kIntraVop.end() - 6);
  EXPECT_EQ(headers, DecoderConfiguration(ElementaryCodec::Mpeg4Part2, kIntraVop));
  EXPECT_TRUE(DecoderConfiguration(ElementaryCodec::Mpeg4Part2, kPredictedVop).empty());
}

TEST(ElementaryFrame, UnitsEndBeforeTheNextStartCode) {
  const auto units = SplitAtStartCodes(kIdrFrame);
  ASSERT_EQ(3u, units.size());
  EXPECT_EQ(0u, units[0].startCodeAt);
  EXPECT_EQ(4u, units[0].offset);
  EXPECT_EQ(4u, units[0].size);  // the next start code's leading zero is not part of it
  EXPECT_EQ(16u, units[2].startCodeAt);
  EXPECT_EQ(4u, units[2].size);
}

}  // namespace
