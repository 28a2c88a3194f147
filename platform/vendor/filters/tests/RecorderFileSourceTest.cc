// The file source on its own: its pins give the recorder types and sample layouts with the
// stream's clock rules, it knows its duration, skips damage, seeks to a resumable group and
// refuses files it cannot play.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "FilterChain.h"
#include "Recordings.h"
#include "recorder/RecorderMediaTypes.h"

namespace vendor::testing {
namespace {

using recorder::VideoSamplePrefix;

std::vector<uint8_t> FileBytes(const std::string& path, size_t count) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes(count);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
  return bytes;
}

VideoSamplePrefix PrefixOf(const ReceivedSample& sample) {
  return VideoSamplePrefix::Parse(sample.bytes).value_or(VideoSamplePrefix{});
}

TEST(RecorderFileSource, PinsOfferTheRecorderTypesWithTheFileHeader) {
  recgen::Options options = SmallRecording("types.264");
  options.audioCode = recorder::kAudioG7221;
  recgen::WriteRecording(options);
  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  chain.Connect(Decoders::None);
  const auto header = FileBytes(options.output, recorder::kFileHeaderSize);

  const CMediaType& video = chain.VideoSink().ConnectionType();
  EXPECT_EQ(MEDIASUBTYPE_RecorderVideo, *video.Subtype());
  EXPECT_EQ(FORMAT_VideoInfo, *video.FormatType());
  ASSERT_EQ(recorder::kVideoFormatSize, video.FormatLength());
  EXPECT_TRUE(std::equal(header.begin(), header.end(), video.Format()));
  VIDEOINFOHEADER info;
  std::memcpy(&info, video.Format() + recorder::kFileHeaderSize, sizeof info);
  EXPECT_EQ(176, info.bmiHeader.biWidth);
  EXPECT_EQ(144, info.bmiHeader.biHeight);
  EXPECT_EQ(176, info.rcSource.right);
  EXPECT_EQ(400'000, info.AvgTimePerFrame);

  const CMediaType& audio = chain.AudioSink().ConnectionType();
  EXPECT_EQ(MEDIASUBTYPE_RecorderAudioG722, *audio.Subtype());
  EXPECT_EQ(recorder::kRecorderAudioSampleSize, audio.GetSampleSize());
  ASSERT_EQ(recorder::kAudioFormatSize, audio.FormatLength());
  WAVEFORMATEX wave;
  std::memcpy(&wave, audio.Format() + recorder::kFileHeaderSize, sizeof wave);
  EXPECT_EQ(0x4061, wave.wFormatTag);
  EXPECT_EQ(1, wave.nChannels);
  EXPECT_EQ(16000u, wave.nSamplesPerSec);
  EXPECT_EQ(2, wave.nBlockAlign);
  EXPECT_EQ(32000u, wave.nAvgBytesPerSec);
}

TEST(RecorderFileSource, SamplesCarryThePrefixesAndTheClockRules) {
  recgen::Options options = SmallRecording("layout.mp4");
  options.codec = recgen::VideoCodec::Mpeg4;
  options.audioCode = recorder::kAudioG711U;
  const recgen::RecordingSummary summary = recgen::WriteRecording(options);
  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  chain.Connect(Decoders::None);
  chain.Play();

  const auto video = chain.VideoSink().Samples();
  ASSERT_EQ(summary.frames, static_cast<int64_t>(video.size()));
  for (size_t i = 0; i < video.size(); ++i) {
    const VideoSamplePrefix prefix = PrefixOf(video[i]);
    EXPECT_EQ(10u, prefix.blockCount);
    EXPECT_EQ(i % 10 + 1, prefix.index);
    EXPECT_EQ(25u, prefix.framesPerSecond);
    EXPECT_EQ(1u, *recorder::rl32(video[i].bytes, 28));
    EXPECT_EQ(i / 10 % 2 == 0 ? recorder::kFrameTypeKey : recorder::kFrameTypeOther,
              prefix.frameType);
    EXPECT_EQ(static_cast<REFERENCE_TIME>(i) * kFrame25, video[i].start);
    EXPECT_EQ(video[i].start + kFrame25, video[i].stop);
    ASSERT_TRUE(recorder::FrameBlockOfVideoSample(video[i].bytes));
  }
  EXPECT_TRUE(video.front().discontinuity);

  const auto audio = chain.AudioSink().Samples();
  ASSERT_EQ(summary.audioBlocks, static_cast<int64_t>(audio.size()));
  for (size_t i = 0; i < audio.size(); ++i) {
    EXPECT_EQ(recorder::kBlockAudio1, *recorder::rl32(audio[i].bytes, 0));
    EXPECT_EQ(recorder::kAudioSamplePrefixSize + 320, audio[i].bytes.size());
    EXPECT_EQ(static_cast<REFERENCE_TIME>(i) * recorder::kAudioBlockDuration, audio[i].start);
  }
}

// Each sample copies only its own frame: the frames before it in the group are empty blocks,
// so the frame block ends the sample whatever its index.
TEST(RecorderFileSource, VideoSamplesCarryOnlyTheirOwnFrame) {
  recgen::Options options = SmallRecording("own-frame.264");
  options.frames = 30;
  recgen::WriteRecording(options);
  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  chain.Connect(Decoders::None);
  chain.Play();
  for (const ReceivedSample& sample : chain.VideoSink().Samples()) {
    const auto block = recorder::FrameBlockOfVideoSample(sample.bytes);
    ASSERT_TRUE(block);
    EXPECT_GT(block->PayloadSize(), 0u);
    EXPECT_EQ(sample.bytes.data() + sample.bytes.size(), block->end);
    EXPECT_EQ(recorder::kVideoSamplePrefixSize +
                  (PrefixOf(sample).index - 1) * recorder::kBlockHeaderSize + block->Size(),
              sample.bytes.size());
  }
}

// The audit interface: the digest of every byte of the file, damage included, taken while the
// file was indexed, and the samples the pins delivered.
TEST(RecorderFileSource, AuditGivesTheFileDigestAndTheDeliveredCounts) {
  recgen::Options options = SmallRecording("audit.264");
  options.frames = 60;
  options.audioCode = recorder::kAudioG711U;
  options.damage.garbageBytes = 77;
  options.damage.truncateBytes = 30;
  recgen::WriteRecording(options);
  std::ifstream in(options.output, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  Sha256 whole;
  whole.Update(bytes.data(), bytes.size());
  const Sha256::Digest expected = whole.Final();

  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  IRecorderSourceAudit* audit = nullptr;
  ASSERT_EQ(S_OK, chain.Source().QueryInterface(IID_IRecorderSourceAudit,
                                                reinterpret_cast<void**>(&audit)));
  Sha256::Digest digest{};
  ULONGLONG size = 0;
  ASSERT_EQ(S_OK, audit->GetFileDigest(digest.data(), &size));
  EXPECT_EQ(Sha256::Hex(expected), Sha256::Hex(digest));
  EXPECT_EQ(bytes.size(), size);

  chain.Connect(Decoders::None);
  chain.Play();
  ULONGLONG frames = 0;
  ULONGLONG audioBlocks = 0;
  ASSERT_EQ(S_OK, audit->GetDeliveredCounts(&frames, &audioBlocks));
  EXPECT_EQ(chain.VideoSink().Samples().size(), frames);
  EXPECT_EQ(chain.AudioSink().Samples().size(), audioBlocks);
  EXPECT_GT(frames, 0u);
  EXPECT_EQ(E_POINTER, audit->GetDeliveredCounts(nullptr, &audioBlocks));
  audit->Release();
}

TEST(RecorderFileSource, DurationCoversTheWholeFile) {
  recgen::Options options = SmallRecording("duration.qrl");
  options.audioCode = recorder::kAudioG722_24;
  options.frames = 47;  // the last group is short
  const recgen::RecordingSummary summary = recgen::WriteRecording(options);
  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  LONGLONG duration = 0;
  ASSERT_EQ(S_OK, chain.Seeking().GetDuration(&duration));
  EXPECT_EQ(summary.duration, duration);
  EXPECT_EQ(5u, chain.Source().Index().Groups().size());
}

TEST(RecorderFileSource, DamagedGroupsAreLostAndPlaybackResumesAtAKeyGroup) {
  recgen::Options options = SmallRecording("damaged.264");
  options.frames = 60;
  options.audioCode = recorder::kAudioG722_32;
  options.damage.garbageBytes = 333;
  options.damage.badBlockGroup = 2;  // a key group: group 3 cannot be decoded without it
  options.damage.truncateBytes = 100;  // cuts into the last group
  recgen::WriteRecording(options);
  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  chain.Connect(Decoders::None);
  chain.Play();

  std::vector<uint32_t> firstFrames;  // recgen numbers each group's first frame in word 32
  for (const ReceivedSample& sample : chain.VideoSink().Samples()) {
    const VideoSamplePrefix prefix = PrefixOf(sample);
    if (prefix.index == 1) firstFrames.push_back(prefix.groupWord32);
  }
  EXPECT_EQ((std::vector<uint32_t>{0, 10, 40}), firstFrames);
  EXPECT_EQ(30u, chain.VideoSink().Samples().size());
}

// A block length that claims more than the file holds must not swallow the groups after it.
TEST(RecorderFileSource, GroupClaimingMoreThanTheFileHoldsIsSkipped) {
  recgen::Options options = SmallRecording("long-claim.264");
  recgen::WriteRecording(options);  // video only: resumes at groups 0x1001 and 0x1002
  std::fstream file(options.output, std::ios::binary | std::ios::in | std::ios::out);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  // The first block of group 1: after the file header and group 0.
  recorder::GroupView group0;
  ASSERT_EQ(recorder::ParseResult::Complete,
            recorder::ParseGroup(bytes.data() + recorder::kFileHeaderSize,
                                 bytes.data() + bytes.size(), group0));
  const size_t lengthAt = static_cast<size_t>(group0.end - bytes.data()) +
                          recorder::kGroupHeaderSize + 16;
  file.seekp(static_cast<std::streamoff>(lengthAt));
  const uint8_t huge[4] = {0xF0, 0xFF, 0xFF, 0x7F};
  file.write(reinterpret_cast<const char*>(huge), sizeof huge);
  file.close();

  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  chain.Connect(Decoders::None, false);
  chain.Play();
  std::vector<uint32_t> firstFrames;
  for (const ReceivedSample& sample : chain.VideoSink().Samples()) {
    if (PrefixOf(sample).index == 1) firstFrames.push_back(PrefixOf(sample).groupWord32);
  }
  EXPECT_EQ((std::vector<uint32_t>{0, 20, 30, 40}), firstFrames);
}

// Bytes flipped anywhere: the file still plays to its end, through the decoders too.
TEST(RecorderFileSource, RandomlyDamagedFilesPlayToTheEnd) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    recgen::Options options = SmallRecording("flipped" + std::to_string(seed) + ".264");
    options.codec = seed % 2 ? recgen::VideoCodec::H264 : recgen::VideoCodec::Mpeg4;
    options.audioCode = recorder::kAudioG722_16;
    options.damage.flipCount = 40;
    options.damage.seed = seed;
    const recgen::RecordingSummary summary = recgen::WriteRecording(options);
    FilterChain chain;
    if (chain.Load(options.output) != S_OK) continue;  // the damage hit every key group
    chain.Connect(Decoders::Both);
    chain.Play();
    EXPECT_LE(static_cast<int64_t>(chain.VideoSink().Samples().size()), summary.frames);
  }
}

TEST(RecorderFileSource, SeekingStartsAtTheNextResumableGroup) {
  recgen::Options options = SmallRecording("seek.264");
  options.frames = 100;
  options.audioCode = recorder::kAudioAdpcm;
  recgen::WriteRecording(options);
  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  chain.Connect(Decoders::None);
  chain.Pause();  // the first samples wait in the paused sinks
  LONGLONG middle = 25 * kFrame25;  // frame 25; key groups start at frames 0, 20, 40, ...
  ASSERT_EQ(S_OK, chain.Seeking().SetPositions(&middle, AM_SEEKING_AbsolutePositioning, nullptr,
                                               AM_SEEKING_NoPositioning));
  chain.Run();
  ASSERT_TRUE(chain.VideoSink().WaitForEnd());
  ASSERT_TRUE(chain.AudioSink().WaitForEnd());
  chain.Stop();

  const auto video = chain.VideoSink().Samples();
  ASSERT_EQ(60u, video.size());
  EXPECT_EQ(40u, PrefixOf(video.front()).groupWord32);
  EXPECT_EQ(recorder::kFrameTypeKey, PrefixOf(video.front()).frameType);
  EXPECT_EQ(0, video.front().start);  // stream time restarts with the new segment
  EXPECT_EQ(40 * kFrame25, chain.VideoSink().SegmentStart());
  EXPECT_EQ(40 * kFrame25, chain.AudioSink().SegmentStart());
  EXPECT_EQ(0, chain.AudioSink().Samples().front().start);
  LONGLONG position = 0;
  ASSERT_EQ(S_OK, chain.Seeking().GetPositions(&position, nullptr));
  EXPECT_EQ(middle, position);  // the position asked for stays in force for the next run
}

TEST(RecorderFileSource, PlaybackEndsAtTheStopPosition) {
  recgen::Options options = SmallRecording("stop.264");
  options.audioCode = recorder::kAudioG711A;
  recgen::WriteRecording(options);
  FilterChain chain;
  ASSERT_EQ(S_OK, chain.Load(options.output));
  chain.Connect(Decoders::None);
  LONGLONG stop = 25 * kFrame25;  // groups start at frames 0, 10, 20, 30, 40
  ASSERT_EQ(S_OK, chain.Seeking().SetPositions(nullptr, AM_SEEKING_NoPositioning, &stop,
                                               AM_SEEKING_AbsolutePositioning));
  chain.Play();
  EXPECT_EQ(30u, chain.VideoSink().Samples().size());
  EXPECT_EQ(30u, chain.AudioSink().Samples().size());
}

TEST(RecorderFileSource, LoadRefusesFilesItCannotPlay) {
  const auto dir = TestDir();
  {
    std::ofstream((dir / "text.mp4").string()) << "this is not a recorder file at all, honestly";
  }
  recgen::Options headerOnly = SmallRecording("header.264");
  headerOnly.damage.truncateBytes = 1;  // recgen must write something; cut it back below
  recgen::WriteRecording(headerOnly);
  std::filesystem::resize_file(headerOnly.output, recorder::kFileHeaderSize + 47);

  FilterChain text;
  EXPECT_EQ(VFW_E_UNKNOWN_FILE_TYPE, text.Load((dir / "text.mp4").string()));
  EXPECT_EQ(0, text.Source().GetPinCount());
  FilterChain empty;
  EXPECT_EQ(VFW_E_INVALID_FILE_FORMAT, empty.Load(headerOnly.output));
  FilterChain missing;
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), missing.Load((dir / "none.qrl").string()));
  FilterChain directory;
  EXPECT_EQ(VFW_E_UNKNOWN_FILE_TYPE, directory.Load(dir.string()));
}

}  // namespace
}  // namespace vendor::testing
