// The file source stands in for the network source and splitter in file playback, so the same
// decoders must see the same from both: for the same FileHeader, the source's pins offer
// exactly the splitter outputs' types, format blocks included; for the same stream, the same
// prefixes and frames at the same times (the source leaves out the bytes of the group's other
// frames, which no decoder reads).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "CollectingOutput.h"
#include "FilterChain.h"
#include "GroupParser.h"
#include "OutputTypes.h"
#include "Recordings.h"
#include "recorder/RecorderMediaTypes.h"

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

// The splitter sends three silence samples before the first group; the file source does not
// (the file holds no such sound), so the splitter's audio runs that much later.
constexpr size_t kSilenceSamples = 3;
constexpr size_t kNetworkSampleBytes = 2048;  // how the network source cuts the stream

TEST(RecorderFileSource, SamplesAndTimesMatchTheSplittersForTheSameStream) {
  recgen::Options options = SmallRecording("parity-samples.264");
  options.audioCode = recorder::kAudioG722_24;
  options.damage.garbageBytes = 500;
  recgen::WriteRecording(options);
  std::ifstream in(options.output, std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());

  splitter::testing::CollectingOutput video;
  splitter::testing::CollectingOutput audio;
  std::unique_ptr<splitter::GroupParser> parser;
  ASSERT_EQ(S_OK, splitter::GroupParser::Create(video, audio, parser));
  parser->SetStreamFormat(*recorder::ParseFileHeader(file));
  for (size_t at = recorder::kFileHeaderSize; at < file.size(); at += kNetworkSampleBytes) {
    const size_t length = std::min(kNetworkSampleBytes, file.size() - at);
    (void)parser->Receive(file.data() + at, static_cast<long>(length));
  }

  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  chain.Connect(Decoders::None);
  chain.Play();

  const auto sourceVideo = chain.VideoSink().Samples();
  ASSERT_EQ(video.delivered.size(), sourceVideo.size());
  for (size_t i = 0; i < sourceVideo.size(); ++i) {
    const auto& expected = video.delivered[i].bytes;
    const auto& got = sourceVideo[i].bytes;
    ASSERT_GE(got.size(), recorder::kVideoSamplePrefixSize);
    ASSERT_TRUE(std::equal(expected.begin(), expected.begin() + recorder::kVideoSamplePrefixSize,
                           got.begin()))
        << "video sample " << i;
    const auto expectedFrame = recorder::FrameBlockOfVideoSample(expected);
    const auto frame = recorder::FrameBlockOfVideoSample(got);
    ASSERT_TRUE(expectedFrame && frame) << "video sample " << i;
    ASSERT_TRUE(std::equal(expectedFrame->start, expectedFrame->end, frame->start, frame->end))
        << "video sample " << i;
    ASSERT_EQ(video.delivered[i].start, sourceVideo[i].start) << "video sample " << i;
    ASSERT_EQ(video.delivered[i].stop, sourceVideo[i].stop) << "video sample " << i;
  }
  const auto sourceAudio = chain.AudioSink().Samples();
  ASSERT_EQ(audio.delivered.size(), sourceAudio.size() + kSilenceSamples);
  const REFERENCE_TIME silence = kSilenceSamples * recorder::kAudioBlockDuration;
  for (size_t i = 0; i < sourceAudio.size(); ++i) {
    const auto& expected = audio.delivered[i + kSilenceSamples];
    // Bytes 4 to 15 of the prefix are written by neither.
    ASSERT_EQ(*recorder::rl32(expected.bytes, 0), *recorder::rl32(sourceAudio[i].bytes, 0));
    ASSERT_TRUE(std::equal(expected.bytes.begin() + recorder::kAudioSamplePrefixSize,
                           expected.bytes.end(),
                           sourceAudio[i].bytes.begin() + recorder::kAudioSamplePrefixSize,
                           sourceAudio[i].bytes.end()))
        << "audio sample " << i;
    ASSERT_EQ(expected.start, sourceAudio[i].start + silence) << "audio sample " << i;
  }
}

}  // namespace
}  // namespace vendor::testing
