// File source → recorder decoders → sinks: every recorder video coding and audio code gives
// exactly the frames and the sound recgen wrote, at the times the stream says.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

#include "FilterChain.h"
#include "Recordings.h"
#include "recorder/RecorderMediaTypes.h"

namespace vendor::testing {
namespace {

constexpr size_t kPcmSampleBytes = 2;
constexpr int64_t kBlocksPerSecond = recorder::kUnitsPerSecond / recorder::kAudioBlockDuration;

struct Coding {
  recgen::VideoCodec video;
  uint32_t audioCode;
  int sampleRate;
};

std::string Name(const ::testing::TestParamInfo<Coding>& info) {
  static const char* const kVideo[] = {"H264", "Mpeg4", "Mpeg4Sh"};
  char text[32];
  std::snprintf(text, sizeof text, "%s_%04X", kVideo[static_cast<int>(info.param.video)],
                info.param.audioCode);
  return text;
}

VIDEOINFOHEADER VideoInfoOf(const CMediaType& type) {
  VIDEOINFOHEADER info{};
  if (type.FormatLength() >= sizeof info) std::memcpy(&info, type.Format(), sizeof info);
  return info;
}

// Frames arrive one frame duration apart from 0, as the source stamped them.
void ExpectFrameTimes(const std::vector<ReceivedSample>& frames, REFERENCE_TIME frameTime) {
  for (size_t i = 0; i < frames.size(); ++i) {
    ASSERT_EQ(static_cast<REFERENCE_TIME>(i) * frameTime, frames[i].start) << "frame " << i;
    ASSERT_EQ(frames[i].start + frameTime, frames[i].stop) << "frame " << i;
  }
}

class DecodeEveryCoding : public ::testing::TestWithParam<Coding> {};

TEST_P(DecodeEveryCoding, GivesEveryFrameAndTheWholeSound) {
  const Coding coding = GetParam();
  recgen::Options options = SmallRecording("coding.264");
  options.codec = coding.video;
  options.audioCode = coding.audioCode;
  const recgen::RecordingSummary summary = recgen::WriteRecording(options);
  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  chain.Connect(Decoders::Both);
  chain.Play();

  const CMediaType& videoType = chain.VideoSink().ConnectionType();
  EXPECT_EQ(MEDIASUBTYPE_YV12, *videoType.Subtype());
  const VIDEOINFOHEADER info = VideoInfoOf(videoType);
  EXPECT_EQ(176, info.bmiHeader.biWidth);
  EXPECT_EQ(144, info.bmiHeader.biHeight);
  const auto frames = chain.VideoSink().Samples();
  ASSERT_EQ(summary.frames, static_cast<int64_t>(frames.size()));
  ExpectFrameTimes(frames, kFrame25);
  EXPECT_EQ(176u * 144u * 3u / 2u, frames.front().bytes.size());

  WAVEFORMATEX wave{};
  std::memcpy(&wave, chain.AudioSink().ConnectionType().Format(), sizeof wave);
  EXPECT_EQ(WAVE_FORMAT_PCM, wave.wFormatTag);
  EXPECT_EQ(16, wave.wBitsPerSample);
  EXPECT_EQ(static_cast<DWORD>(coding.sampleRate), wave.nSamplesPerSec);
  const auto sound = chain.AudioSink().Samples();
  ASSERT_EQ(summary.audioBlocks, static_cast<int64_t>(sound.size()));
  const size_t bytes = std::accumulate(sound.begin(), sound.end(), size_t{0},
                                       [](size_t sum, const ReceivedSample& s) {
                                         return sum + s.bytes.size();
                                       });
  EXPECT_EQ(static_cast<size_t>(summary.audioBlocks * coding.sampleRate / kBlocksPerSecond) *
                kPcmSampleBytes,
            bytes);
  for (size_t i = 0; i < sound.size(); ++i)
    ASSERT_EQ(static_cast<REFERENCE_TIME>(i) * recorder::kAudioBlockDuration, sound[i].start);
}

INSTANTIATE_TEST_SUITE_P(
    RecorderDecoders, DecodeEveryCoding,
    ::testing::Values(Coding{recgen::VideoCodec::H264, recorder::kAudioAdpcm, 8000},
                      Coding{recgen::VideoCodec::Mpeg4, recorder::kAudioG722_16, 8000},
                      Coding{recgen::VideoCodec::Mpeg4Sh, recorder::kAudioG722_24, 8000},
                      Coding{recgen::VideoCodec::H264, recorder::kAudioG722_32, 8000},
                      Coding{recgen::VideoCodec::Mpeg4, recorder::kAudioG711U, 8000},
                      Coding{recgen::VideoCodec::H264, recorder::kAudioG711A, 8000},
                      Coding{recgen::VideoCodec::Mpeg4Sh, recorder::kAudioG7221, 16000}),
    Name);

TEST(RecorderDecoders, VideoOnlyStreamDecodesWithAnEmptyAudioPath) {
  recgen::Options options = SmallRecording("video-only.mp4");
  options.codec = recgen::VideoCodec::Mpeg4;
  const recgen::RecordingSummary summary = recgen::WriteRecording(options);
  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  chain.Connect(Decoders::Both);
  chain.Play();
  EXPECT_EQ(summary.frames, static_cast<int64_t>(chain.VideoSink().Samples().size()));
  EXPECT_TRUE(chain.AudioSink().Samples().empty());
}

TEST(RecorderDecoders, NarrowNtscPicturesKeepTheirSize) {
  recgen::Options options = SmallRecording("ntsc.264");
  options.width = 176;
  options.height = 120;
  options.fps = 30;
  options.videoStandard = recorder::kStandardNtsc;
  options.audioCode = recorder::kAudioG711A;
  const recgen::RecordingSummary summary = recgen::WriteRecording(options);
  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  chain.Connect(Decoders::Both);
  chain.Play();
  const VIDEOINFOHEADER info = VideoInfoOf(chain.VideoSink().ConnectionType());
  EXPECT_EQ(176, info.bmiHeader.biWidth);
  EXPECT_EQ(120, info.bmiHeader.biHeight);
  const auto frames = chain.VideoSink().Samples();
  ASSERT_EQ(summary.frames, static_cast<int64_t>(frames.size()));
  ExpectFrameTimes(frames, recorder::kUnitsPerSecond / 30);
  LONGLONG duration = 0;
  ASSERT_EQ(S_OK, chain.Seeking().GetDuration(&duration));
  EXPECT_EQ(summary.duration, duration);
}

TEST(RecorderDecoders, DamagedFilePlaysToTheEndLosingOnlyDamagedGroups) {
  recgen::Options options = SmallRecording("damaged.mp4");
  options.codec = recgen::VideoCodec::Mpeg4;
  options.frames = 60;
  options.audioCode = recorder::kAudioG711U;
  options.damage.badBlockGroup = 3;  // not a key group: playback resumes at group 4
  options.damage.garbageBytes = 1000;
  const recgen::RecordingSummary summary = recgen::WriteRecording(options);
  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  chain.Connect(Decoders::Both);
  chain.Play();
  EXPECT_EQ(summary.frames - 10, static_cast<int64_t>(chain.VideoSink().Samples().size()));
  EXPECT_LT(chain.AudioSink().Samples().size(), static_cast<size_t>(summary.audioBlocks));
}

TEST(RecorderDecoders, SeekingDecodesFromTheNextKeyGroupOn) {
  recgen::Options options = SmallRecording("seek.264");
  options.frames = 100;
  options.audioCode = recorder::kAudioG722_16;
  recgen::WriteRecording(options);
  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  chain.Connect(Decoders::Both);
  LONGLONG middle = 50 * kFrame25;  // key groups start every 20 frames
  ASSERT_EQ(S_OK, chain.Seeking().SetPositions(&middle, AM_SEEKING_AbsolutePositioning, nullptr,
                                               AM_SEEKING_NoPositioning));
  chain.Play();
  const auto frames = chain.VideoSink().Samples();
  EXPECT_EQ(40u, frames.size());
  ExpectFrameTimes(frames, kFrame25);
  EXPECT_EQ(60 * kFrame25, chain.VideoSink().SegmentStart());
}

}  // namespace
}  // namespace vendor::testing
