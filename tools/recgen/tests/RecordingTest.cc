// Recordings read back with the format's parser: group layout, header fields, audio timing,
// audio block sizes, determinism and the elementary streams.
#include <gtest/gtest.h>

#include "AudioCodings.h"
#include "RecgenTestSupport.h"
#include "StreamLayout.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

using namespace recgen;
using namespace recgen::testing;
using namespace recorder;

namespace {

TEST(RecordingTest, GroupsCarryFramesAndAudioAsAsked) {
  Options options = SmallOptions("layout.mp4");
  options.frames = 75;  // seven full groups of 10 and one of 5
  options.gopGroups = 3;
  options.audioCode = kAudioG722_16;
  const std::vector<uint8_t> file = Record(options);

  const FileHeader header = HeaderOf(file);
  EXPECT_EQ(header.magic, kMagic4HLQ);
  EXPECT_GE(header.version, kVersionExplicitSize);
  EXPECT_EQ(header.systemType, kSystemVideoAudio);
  EXPECT_EQ(header.videoStandard, kStandardPal);
  EXPECT_EQ(header.audioCodec, kAudioG722_16);
  EXPECT_EQ(header.audioSampleRate, 8000u);
  EXPECT_EQ(DeriveStreamParams(header).size, (PictureSize{176, 144}));

  const GroupWalk walk = WalkGroups(file);
  ASSERT_EQ(walk.stop, ParseResult::Complete);
  ASSERT_EQ(walk.groups.size(), 8u);
  int64_t frames = 0, audio = 0;
  for (size_t g = 0; g < walk.groups.size(); ++g) {
    const GroupView& group = walk.groups[g];
    const BlockCounts counts = CountBlocks(group);
    EXPECT_EQ(counts.video, g < 7 ? 10 : 5) << g;
    frames += counts.video;
    // 25 fps frames are exactly 40 ms, one audio block per frame.
    EXPECT_EQ(counts.audio, counts.video) << g;
    audio += counts.audio;
    EXPECT_EQ(group.header.frameType, g % 3 == 0 ? kFrameTypeKey : kFrameTypeOther) << g;
    EXPECT_EQ(group.header.frameRateCode, 0x1019u);
    EXPECT_EQ(group.header.groupResolution, 176u | 144u << 16);
    EXPECT_TRUE(group.header.HasAudio());
    EXPECT_NE(group.header.word4, 1u);
    EXPECT_TRUE(IsGroupStart(group.start, group.Size()));
  }
  EXPECT_EQ(frames, 75);
  EXPECT_EQ(audio, 75);
}

// At a frame rate whose frames are not whole audio blocks, the audio placed in each group must
// keep the parser's audio clock level with or ahead of the video clock (no step-up) by less
// than one block.
TEST(RecordingTest, AudioKeepsUpWithVideoAtThirtyFps) {
  Options options = SmallOptions("timing.mp4");
  options.fps = 30;
  options.frames = 90;
  options.groupFrames = 7;
  options.audioCode = kAudioG711U;
  const std::vector<uint8_t> file = Record(options);

  const GroupWalk walk = WalkGroups(file);
  ASSERT_EQ(walk.stop, ParseResult::Complete);
  int64_t videoClock = 0, audioClock = 0;
  for (const GroupView& group : walk.groups) {
    const BlockCounts counts = CountBlocks(group);
    EXPECT_GE(audioClock, videoClock);
    audioClock += counts.audio * kAudioBlockDuration;
    videoClock += counts.video * FrameDuration(group.header.frameRateCode, 0);
    EXPECT_GE(audioClock, videoClock);
    EXPECT_LT(audioClock - videoClock, kAudioBlockDuration);
    EXPECT_EQ(group.header.HasAudio(), counts.audio > 0);
  }
  EXPECT_EQ(videoClock, 90 * 333'333);
}

TEST(RecordingTest, OldNtscHeaderUsesResolutionCodes) {
  Options options = SmallOptions("old.qrl");
  options.codec = VideoCodec::Mpeg4Sh;
  options.oldHeader = true;
  options.videoStandard = kStandardNtsc;
  options.width = 176;
  options.height = 128;
  options.frames = 10;
  const std::vector<uint8_t> file = Record(options);

  const FileHeader header = HeaderOf(file);
  EXPECT_EQ(header.magic, kMagic4MSH);
  EXPECT_LT(header.version, kVersionExplicitSize);
  EXPECT_EQ(header.videoResolution, kResolutionQcif);
  EXPECT_EQ(header.systemType, kSystemVideo);
  EXPECT_EQ(DeriveStreamParams(header).size, (PictureSize{176, 128}));
  const GroupWalk walk = WalkGroups(file);
  ASSERT_EQ(walk.groups.size(), 1u);
  EXPECT_EQ(walk.groups[0].header.groupResolution, kResolutionQcif);
  EXPECT_FALSE(walk.groups[0].header.HasAudio());
  EXPECT_EQ(walk.groups[0].header.audioWord, kAudioWordNone);
  EXPECT_EQ(CountBlocks(walk.groups[0]).audio, 0);
}

TEST(RecordingTest, AudioOnlyStreamHasNoVideoBlocks) {
  Options options = SmallOptions("audio.mp4");
  options.systemType = kSystemAudio;
  options.audioCode = kAudioG7221;
  const std::vector<uint8_t> file = Record(options);
  EXPECT_EQ(HeaderOf(file).systemType, kSystemAudio);
  EXPECT_EQ(HeaderOf(file).audioSampleRate, 16000u);
  const GroupWalk walk = WalkGroups(file);
  ASSERT_EQ(walk.groups.size(), 5u);
  for (const GroupView& group : walk.groups) {
    EXPECT_EQ(CountBlocks(group).video, 0);
    EXPECT_EQ(CountBlocks(group).audio, 10);
    EXPECT_TRUE(group.header.HasAudio());
  }
}

// Decodes the concatenated audio payloads and returns the number of samples.
int64_t DecodedSamples(const AudioCoding& coding, const std::vector<BlockView>& blocks) {
  const AVCodec* codec = avcodec_find_decoder(coding.codecId);
  AVCodecContext* context = avcodec_alloc_context3(codec);
  context->sample_rate = coding.sampleRate;
  context->ch_layout = AV_CHANNEL_LAYOUT_MONO;
  context->bits_per_coded_sample = coding.bitRate ? coding.bitRate / coding.sampleRate : 8;
  int64_t samples = 0;
  if (avcodec_open2(context, codec, nullptr) == 0) {
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    for (const BlockView& block : blocks) {
      packet->data = const_cast<uint8_t*>(block.payload);
      packet->size = static_cast<int>(block.PayloadSize());
      if (avcodec_send_packet(context, packet) < 0) break;
      while (avcodec_receive_frame(context, frame) == 0) samples += frame->nb_samples;
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
  }
  avcodec_free_context(&context);
  return samples;
}

class AudioCodeTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(AudioCodeTest, BlocksHaveTheCodingsSizeAndDecode) {
  const AudioCoding* coding = FindAudioCoding(GetParam());
  ASSERT_NE(coding, nullptr);
  Options options = SmallOptions("audio.mp4");
  options.frames = 25;
  options.audioCode = GetParam();
  const std::vector<uint8_t> file = Record(options);
  EXPECT_EQ(HeaderOf(file).audioCodec, GetParam());

  std::vector<BlockView> blocks;
  for (const GroupView& group : WalkGroups(file).groups) {
    for (int i = 0; i < CountBlocks(group).audio; ++i) blocks.push_back(*NthAudioBlock(group, i));
  }
  ASSERT_EQ(blocks.size(), 25u);
  for (const BlockView& block : blocks) EXPECT_EQ(block.PayloadSize(), coding->blockBytes);
  EXPECT_EQ(DecodedSamples(*coding, blocks), 25 * coding->BlockSamples());
}

INSTANTIATE_TEST_SUITE_P(Codes, AudioCodeTest,
                         ::testing::Values(0u, kAudioAdpcm, kAudioRawAdpcmAlias, kAudioG722_16,
                                           kAudioG722_24, kAudioG722_32, kAudioG711U, kAudioG711A,
                                           kAudioG7221),
                         [](const auto& info) {
                           char name[16];
                           std::snprintf(name, sizeof name, "x%04X", info.param);
                           return std::string(name);
                         });

TEST(RecordingTest, SameOptionsWriteTheSameBytes) {
  for (VideoCodec codec : {VideoCodec::H264, VideoCodec::Mpeg4}) {
    Options options = SmallOptions("first.mp4");
    options.codec = codec;
    options.audioCode = kAudioAdpcm;
    const std::vector<uint8_t> first = Record(options);
    options.output = (TestDir() / "second.mp4").string();
    EXPECT_EQ(Record(options), first);
  }
}

TEST(RecordingTest, ElementaryStreamsMatchTheBlocks) {
  Options options = SmallOptions("sample.mp4");
  options.audioCode = kAudioG722_24;
  options.elementaryDir = (TestDir() / "raw").string();
  const RecordingSummary summary = WriteRecording(options);
  ASSERT_EQ(summary.elementaryFiles.size(), 3u);

  const std::vector<uint8_t> file = ReadFile(options.output);
  std::vector<uint8_t> video, audio;
  for (const GroupView& group : WalkGroups(file).groups) {
    const BlockCounts counts = CountBlocks(group);
    for (int i = 0; i < counts.video; ++i) {
      const BlockView block = *NthVideoBlock(group, i);
      video.insert(video.end(), block.payload, block.end);
    }
    for (int i = 0; i < counts.audio; ++i) {
      const BlockView block = *NthAudioBlock(group, i);
      audio.insert(audio.end(), block.payload, block.end);
    }
  }
  const auto raw = TestDir() / "raw";
  EXPECT_EQ(ReadFile((raw / "sample.h264").string()), video);
  EXPECT_EQ(ReadFile((raw / "sample.g726").string()), audio);
  EXPECT_EQ(std::filesystem::file_size(raw / "sample.pcm"), 50u * 320 * sizeof(int16_t));
}

}  // namespace
