// File source → recorder decoders → sinks: every recorder video coding and audio code gives
// exactly the frames and the sound recgen wrote, at the times the stream says.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <numeric>

#include "DebugOutput.h"
#include "FilterChain.h"
#include "PictureSource.h"
#include "Recordings.h"
#include "ToneSource.h"
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

// Frames arrive one frame duration apart from 0, as the source stamped them, and each shows
// the frame number recgen drew into it, counting from `firstFrame`.
void ExpectFrames(const std::vector<ReceivedSample>& frames, REFERENCE_TIME frameTime,
                  int width, int height, uint32_t firstFrame = 0) {
  for (size_t i = 0; i < frames.size(); ++i) {
    ASSERT_EQ(static_cast<REFERENCE_TIME>(i) * frameTime, frames[i].start) << "frame " << i;
    ASSERT_EQ(frames[i].start + frameTime, frames[i].stop) << "frame " << i;
    ASSERT_EQ(firstFrame + i,
              recgen::ReadFrameCounter(frames[i].bytes.data(), width, width, height));
  }
}

// Mean absolute difference between a decoded plane and the picture recgen encoded.
double PlaneDifference(const uint8_t* decoded, const uint8_t* original, int originalStride,
                       int width, int height) {
  double sum = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      sum += std::abs(decoded[y * width + x] - original[y * originalStride + x]);
  }
  return sum / (width * height);
}

// Signal to noise ratio in dB of decoded sound against the tone recgen encoded, at the best
// alignment within the codec's delay.
double SignalToNoise(const std::vector<ReceivedSample>& sound, int sampleRate) {
  constexpr int kMaxDelay = 64;
  std::vector<int16_t> decoded;
  for (const ReceivedSample& sample : sound) {
    const size_t count = sample.bytes.size() / kPcmSampleBytes;
    const size_t at = decoded.size();
    decoded.resize(at + count);
    std::memcpy(decoded.data() + at, sample.bytes.data(), count * kPcmSampleBytes);
  }
  const std::vector<int16_t> tone =
      recgen::ToneSource(sampleRate).Next(static_cast<int>(decoded.size()));
  double best = -100;
  for (int delay = 0; delay < kMaxDelay && static_cast<size_t>(delay) < decoded.size(); ++delay) {
    double signal = 0;
    double noise = 0;
    for (size_t i = 0; i + delay < decoded.size(); ++i) {
      const double expected = tone[i];
      signal += expected * expected;
      noise += (decoded[i + delay] - expected) * (decoded[i + delay] - expected);
    }
    best = std::max(best, 10 * std::log10(signal / std::max(noise, 1.0)));
  }
  return best;
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
  ExpectFrames(frames, kFrame25, 176, 144);
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
  EXPECT_GT(SignalToNoise(sound, coding.sampleRate), 15.0);
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

// YV12 holds V before U, I420 U before V: each plane must match the picture encoded.
TEST(RecorderDecoders, PlanesComeInTheOrderOfTheConnectedSubtype) {
  recgen::Options options = SmallRecording("planes.264");
  options.frames = 10;
  recgen::WriteRecording(options);
  recgen::PictureSource pictures(176, 144);
  const AVFrame& original = *pictures.Render(0);
  for (const GUID* subtype : {&MEDIASUBTYPE_YV12, &MEDIASUBTYPE_I420}) {
    FilterChain chain;
    chain.VideoSink().AcceptOnly(*subtype);
    ASSERT_EQ(S_OK, chain.Load(options.output));
    chain.Connect(Decoders::Both, false);
    chain.Play();
    const auto frames = chain.VideoSink().Samples();
    ASSERT_FALSE(frames.empty());
    const uint8_t* luma = frames.front().bytes.data();
    const uint8_t* second = luma + 176 * 144;
    const uint8_t* third = second + 88 * 72;
    const bool yv12 = subtype == &MEDIASUBTYPE_YV12;
    EXPECT_LT(PlaneDifference(luma, original.data[0], original.linesize[0], 176, 144), 4.0);
    EXPECT_LT(PlaneDifference(yv12 ? third : second, original.data[1], original.linesize[1], 88, 72),
              4.0);
    EXPECT_LT(PlaneDifference(yv12 ? second : third, original.data[2], original.linesize[2], 88, 72),
              4.0);
  }
}

// Rewrites a recording with the payload of video block `frame` of the first group removed.
void EmptyFirstGroupFrame(const std::string& path, int frame) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  recorder::GroupView group;
  ASSERT_EQ(recorder::ParseResult::Complete,
            recorder::ParseGroup(bytes.data() + recorder::kFileHeaderSize,
                                 bytes.data() + bytes.size(), group));
  const auto block = recorder::NthVideoBlock(group, frame);
  ASSERT_TRUE(block);
  const uint8_t* begin = bytes.data();
  const uint8_t* end = bytes.data() + bytes.size();
  std::vector<uint8_t> out(begin, block->start);
  auto header = *recorder::ParseBlockHeader(recorder::ByteSpan(block->start, recorder::kBlockHeaderSize));
  header.length = 0;
  const auto serialized = recorder::Serialize(header);
  out.insert(out.end(), serialized.begin(), serialized.end());
  out.insert(out.end(), block->end, end);
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
}

TEST(RecorderDecoders, AFrameThatCannotBeDecodedIsDroppedAndTheStreamGoesOn) {
  recgen::Options options = SmallRecording("empty-frame.mp4");
  options.codec = recgen::VideoCodec::Mpeg4;
  options.audioCode = recorder::kAudioG722_24;
  const recgen::RecordingSummary summary = recgen::WriteRecording(options);
  EmptyFirstGroupFrame(options.output, 4);
  std::vector<std::string> debug;
  std::mutex debugLock;
  SetDebugCapture([&](std::string_view text) {
    std::lock_guard guard(debugLock);
    debug.emplace_back(text);
  });
  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  chain.Connect(Decoders::Both);
  chain.Play();
  SetDebugCapture(nullptr);

  const auto frames = chain.VideoSink().Samples();
  EXPECT_EQ(summary.frames - 1, static_cast<int64_t>(frames.size()));
  EXPECT_EQ(4 * kFrame25, frames[3].stop);  // the gap where frame 4 would have been
  EXPECT_EQ(5 * kFrame25, frames[4].start);
  EXPECT_EQ(summary.audioBlocks, static_cast<int64_t>(chain.AudioSink().Samples().size()));
  EXPECT_NE(debug.end(), std::find(debug.begin(), debug.end(),
                                   "Recorder Video Decoder: dropped a frame it cannot decode\n"));
}

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

TEST(RecorderDecoders, AudioOnlyStreamPlaysAndSeeksBySound) {
  recgen::Options options = SmallRecording("audio-only.264");
  options.audioCode = recorder::kAudioG711U;
  options.systemType = recorder::kSystemAudio;
  const recgen::RecordingSummary summary = recgen::WriteRecording(options);
  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  LONGLONG duration = 0;
  ASSERT_EQ(S_OK, chain.Seeking().GetDuration(&duration));
  EXPECT_EQ(summary.audioBlocks * recorder::kAudioBlockDuration, duration);
  chain.Connect(Decoders::Both);
  LONGLONG middle = duration / 2;  // every group with sound is a place to resume
  ASSERT_EQ(S_OK, chain.Seeking().SetPositions(&middle, AM_SEEKING_AbsolutePositioning, nullptr,
                                               AM_SEEKING_NoPositioning));
  chain.Play();
  EXPECT_TRUE(chain.VideoSink().Samples().empty());
  const auto sound = chain.AudioSink().Samples();
  ASSERT_FALSE(sound.empty());
  EXPECT_GE(chain.AudioSink().SegmentStart(), middle);
  EXPECT_EQ(duration, chain.AudioSink().SegmentStart() +
                          static_cast<REFERENCE_TIME>(sound.size()) * recorder::kAudioBlockDuration);
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
  ExpectFrames(frames, recorder::kUnitsPerSecond / 30, 176, 120);
  LONGLONG duration = 0;
  ASSERT_EQ(S_OK, chain.Seeking().GetDuration(&duration));
  EXPECT_EQ(summary.duration, duration);
}

// An old header names its size by a code, and the code for narrow NTSC pictures means
// 176 x 128 while the pictures are 176 x 120. The decoder passes on the decoded size.
TEST(RecorderDecoders, PicturesKeepTheDecodedSizeWhenTheHeaderNamesAnother) {
  recgen::Options options = SmallRecording("old-header.264");
  options.height = 120;
  options.videoStandard = recorder::kStandardNtsc;
  const recgen::RecordingSummary summary = recgen::WriteRecording(options);
  {
    std::fstream file(options.output, std::ios::binary | std::ios::in | std::ios::out);
    uint8_t words[8];
    recorder::wl32(words, 0x20030612);                   // version: before explicit sizes
    recorder::wl32(words + 4, recorder::kResolutionQcif);  // 176 x 128 in NTSC
    file.seekp(8);
    file.write(reinterpret_cast<const char*>(words), 4);
    file.seekp(28);
    file.write(reinterpret_cast<const char*>(words + 4), 4);
  }
  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  chain.Connect(Decoders::Both);
  EXPECT_EQ(128, VideoInfoOf(chain.VideoSink().ConnectionType()).bmiHeader.biHeight);
  chain.Play();
  const VIDEOINFOHEADER info = VideoInfoOf(chain.VideoSink().ConnectionType());
  EXPECT_EQ(176, info.bmiHeader.biWidth);
  EXPECT_EQ(120, info.bmiHeader.biHeight);
  const auto frames = chain.VideoSink().Samples();
  ASSERT_EQ(summary.frames, static_cast<int64_t>(frames.size()));
  EXPECT_EQ(176u * 120u * 3u / 2u, frames.back().bytes.size());
  ExpectFrames(frames, kFrame25, 176, 120);
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
  // Seeking reaches the source from the renderer through the decoder.
  ComPtr<IMediaSeeking> seeking;
  ASSERT_EQ(S_OK, chain.VideoSink().NonDelegatingQueryInterface(
                      IID_IMediaSeeking, seeking.ReleaseAndGetVoidAddress()));
  LONGLONG duration = 0;
  ASSERT_EQ(S_OK, seeking->GetDuration(&duration));
  EXPECT_EQ(100 * kFrame25, duration);
  LONGLONG middle = 50 * kFrame25;  // key groups start every 20 frames
  ASSERT_EQ(S_OK, seeking->SetPositions(&middle, AM_SEEKING_AbsolutePositioning, nullptr,
                                        AM_SEEKING_NoPositioning));
  chain.Play();
  const auto frames = chain.VideoSink().Samples();
  EXPECT_EQ(40u, frames.size());
  ExpectFrames(frames, kFrame25, 176, 144, 60);
  EXPECT_EQ(60 * kFrame25, chain.VideoSink().SegmentStart());
}

}  // namespace
}  // namespace vendor::testing
