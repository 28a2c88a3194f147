// The file source stands in for the network source and splitter in file playback, so the same
// decoders must see the same types from both: for the same FileHeader, the source's pins offer
// exactly the splitter outputs' types, format blocks included.
#include <gtest/gtest.h>

#include "FilterChain.h"
#include "OutputTypes.h"
#include "Recordings.h"

namespace vendor::testing {
namespace {

void ExpectSameType(const CMediaType& source, const CMediaType& splitter) {
  EXPECT_TRUE(source == splitter);
  EXPECT_EQ(splitter.IsFixedSize(), source.IsFixedSize());
  EXPECT_EQ(splitter.GetSampleSize(), source.GetSampleSize());
  EXPECT_EQ(splitter.IsTemporalCompressed(), source.IsTemporalCompressed());
}

struct Stream {
  recgen::VideoCodec codec;
  std::optional<uint32_t> audioCode;  // none: video only
};

class SplitterParity : public ::testing::TestWithParam<Stream> {};

TEST_P(SplitterParity, SourcePinsOfferTheSplitterOutputTypes) {
  recgen::Options options = SmallRecording("parity.264");
  options.frames = 10;
  options.codec = GetParam().codec;
  options.audioCode = GetParam().audioCode;
  recgen::WriteRecording(options);
  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  const recorder::FileHeader& header = chain.Source().Index().Header();
  const splitter::ConnectionFormat format{header, recorder::DeriveStreamParams(header)};

  CMediaType source;
  CMediaType expected;
  ASSERT_EQ(S_OK, chain.Source().GetPin(0)->GetMediaType(0, &source));
  ASSERT_EQ(S_OK, splitter::BuildVideoType(format, &expected));
  ExpectSameType(source, expected);
  ASSERT_EQ(S_OK, chain.Source().GetPin(1)->GetMediaType(0, &source));
  ASSERT_EQ(S_OK, splitter::BuildAudioType(format, &expected));
  ExpectSameType(source, expected);
}

INSTANTIATE_TEST_SUITE_P(
    RecorderFileSource, SplitterParity,
    ::testing::Values(Stream{recgen::VideoCodec::H264, recorder::kAudioG7221},
                      Stream{recgen::VideoCodec::Mpeg4, recorder::kAudioG711U},
                      Stream{recgen::VideoCodec::Mpeg4Sh, recorder::kAudioAdpcm},
                      Stream{recgen::VideoCodec::H264, std::nullopt}));

}  // namespace
}  // namespace vendor::testing
