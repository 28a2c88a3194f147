// Format blocks and sample prefixes byte by byte, and the frame a video sample stands for,
// with one field of a good sample changed per failure case.
#include <gtest/gtest.h>

#include <vector>

#include "recorder/RecorderMediaTypes.h"

using namespace recorder;

namespace {

FileHeader Header640x480() {
  FileHeader header;
  header.magic = kMagic4MLQ;
  header.version = kVersionExplicitSize;
  header.systemType = kSystemVideoAudio;
  header.audioChannels = 0x0201;  // only the low byte counts
  header.audioBitsPerSample = 16;
  header.audioSampleRate = 8000;
  header.videoResolution = 640 | 480u << 16;
  header.audioCodec = kAudioG711U;
  return header;
}

uint32_t Word(const uint8_t* p) { return *rl32(ByteSpan(p, 4), 0); }
uint16_t Half(const uint8_t* p) { return *rl16(ByteSpan(p, 2), 0); }

TEST(RecorderMediaTypes, VideoFormatIsTheFileHeaderThenAVideoInfoHeader) {
  const auto format = BuildVideoFormat(Header640x480());
  const auto header = Serialize(Header640x480());
  EXPECT_TRUE(std::equal(header.begin(), header.end(), format.begin()));
  const uint8_t* info = format.data() + kFileHeaderSize;
  EXPECT_EQ(0u, Word(info + 0));     // rcSource.left
  EXPECT_EQ(640u, Word(info + 8));   // rcSource.right
  EXPECT_EQ(480u, Word(info + 12));  // rcSource.bottom
  EXPECT_EQ(640u, Word(info + 24));  // rcTarget.right
  EXPECT_EQ(0u, Word(info + 32));    // dwBitRate
  EXPECT_EQ(400'000u, Word(info + 40));  // AvgTimePerFrame, low word
  EXPECT_EQ(0u, Word(info + 44));
  EXPECT_EQ(40u, Word(info + 48));   // biSize
  EXPECT_EQ(640u, Word(info + 52));  // biWidth
  EXPECT_EQ(480u, Word(info + 56));  // biHeight
  EXPECT_EQ(1, Half(info + 60));     // biPlanes
  EXPECT_EQ(0u, Word(info + 64));    // biCompression
}

TEST(RecorderMediaTypes, AudioFormatIsTheFileHeaderThenAWaveFormat) {
  const auto format = BuildAudioFormat(Header640x480());
  const uint8_t* wave = format.data() + kFileHeaderSize;
  EXPECT_EQ(0x4061, Half(wave + 0));       // wFormatTag
  EXPECT_EQ(1, Half(wave + 2));            // nChannels: the low byte of 0x0201
  EXPECT_EQ(8000u, Word(wave + 4));        // nSamplesPerSec
  EXPECT_EQ(16000u, Word(wave + 8));       // nAvgBytesPerSec
  EXPECT_EQ(2, Half(wave + 12));           // nBlockAlign
  EXPECT_EQ(16, Half(wave + 14));          // wBitsPerSample
  EXPECT_EQ(0, Half(wave + 16));           // cbSize
  EXPECT_EQ(0, format[58] | format[59]);   // two zero bytes close the block
}

TEST(RecorderMediaTypes, SubtypesFollowMagicAndCodec) {
  EXPECT_EQ(MEDIASUBTYPE_RecorderVideo, VideoSubtypeForMagic(kMagic4HLQ));
  EXPECT_EQ(MEDIASUBTYPE_RecorderVideo, VideoSubtypeForMagic(kMagic4MLQ));
  EXPECT_EQ(MEDIASUBTYPE_RecorderVideo2, VideoSubtypeForMagic(kMagic4MSH));
  EXPECT_FALSE(VideoSubtypeForMagic(0x12345678));
  EXPECT_EQ(MEDIASUBTYPE_RecorderAudioG722, AudioSubtypeForCodec(kAudioG7221));
  EXPECT_EQ(MEDIASUBTYPE_RecorderAudio711, AudioSubtypeForCodec(kAudioG711A));
  EXPECT_FALSE(AudioSubtypeForCodec(kAudioAdpcm));
}

// A sample of a group with three video blocks (payloads of 5, 0 and 7 bytes).
std::vector<uint8_t> VideoSample(uint32_t index, uint32_t blockCount = 3) {
  std::vector<uint8_t> sample(kVideoSamplePrefixSize);
  GroupHeader group;
  group.frameType = kFrameTypeKey;
  group.frameRateCode = kFrameRateBase + 25;
  VideoSamplePrefix prefix = VideoSamplePrefix::ForGroup(group, blockCount);
  prefix.index = index;
  prefix.WriteTo(sample.data());
  for (uint32_t length : {5u, 0u, 7u}) {
    BlockHeader block;
    block.type = kBlockVideo1;
    block.length = length;
    const auto bytes = Serialize(block);
    sample.insert(sample.end(), bytes.begin(), bytes.end());
    sample.insert(sample.end(), length, static_cast<uint8_t>(length));
  }
  return sample;
}

TEST(RecorderMediaTypes, VideoSamplePrefixReadsBackAsWritten) {
  const auto sample = VideoSample(2);
  const auto prefix = VideoSamplePrefix::Parse(sample);
  ASSERT_TRUE(prefix);
  EXPECT_EQ(3u, prefix->blockCount);
  EXPECT_EQ(2u, prefix->index);
  EXPECT_EQ(kFrameTypeKey, prefix->frameType);
  EXPECT_EQ(25u, prefix->framesPerSecond);
  EXPECT_EQ(kVideoPrefixLastWord, Word(sample.data() + 28));
  EXPECT_FALSE(VideoSamplePrefix::Parse(ByteSpan(sample.data(), kVideoSamplePrefixSize - 1)));
}

TEST(RecorderMediaTypes, FrameBlockIsTheOneTheIndexNames) {
  for (uint32_t index : {1u, 2u, 3u}) {
    const auto sample = VideoSample(index);
    const auto block = FrameBlockOfVideoSample(sample);
    ASSERT_TRUE(block) << index;
    EXPECT_EQ((std::vector<size_t>{5, 0, 7})[index - 1], block->PayloadSize());
  }
}

TEST(RecorderMediaTypes, FrameBlockRefusesSamplesThatDoNotHoldIt) {
  EXPECT_FALSE(FrameBlockOfVideoSample(VideoSample(0)));     // indexes count from 1
  EXPECT_FALSE(FrameBlockOfVideoSample(VideoSample(4)));     // beyond the group
  EXPECT_FALSE(FrameBlockOfVideoSample(VideoSample(3, 2)));  // beyond the stated count
  auto cut = VideoSample(3);
  cut.resize(cut.size() - 1);  // the named block runs past the sample
  EXPECT_FALSE(FrameBlockOfVideoSample(cut));
  auto audio = VideoSample(1);
  audio[kVideoSamplePrefixSize] = 0x01;  // the named block is an audio block (0x1001)
  audio[kVideoSamplePrefixSize + 1] = 0x10;
  EXPECT_FALSE(FrameBlockOfVideoSample(audio));
}

}  // namespace
