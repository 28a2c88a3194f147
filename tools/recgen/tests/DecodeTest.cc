// The video blocks of a recording decode with libavcodec to the asked size, one picture per
// block, in order, with key pictures where the key groups begin.
#include <gtest/gtest.h>

#include "PictureSource.h"
#include "RecgenTestSupport.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

using namespace recgen;
using namespace recgen::testing;
using namespace recorder;

namespace {

struct DecodedPicture {
  int width = 0;
  int height = 0;
  bool key = false;
  uint32_t counter = 0;  // the frame number drawn into the picture
};

// Decodes every video block as one packet, as a recorder's decoder receives them.
std::vector<DecodedPicture> DecodeVideo(AVCodecID codecId, const std::vector<uint8_t>& file) {
  std::vector<DecodedPicture> pictures;
  const AVCodec* codec = avcodec_find_decoder(codecId);
  AVCodecContext* context = avcodec_alloc_context3(codec);
  context->thread_count = 1;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto drain = [&] {
    while (avcodec_receive_frame(context, frame) == 0) {
      pictures.push_back({frame->width, frame->height, frame->key_frame != 0,
                          ReadFrameCounter(frame->data[0], frame->linesize[0], frame->width,
                                           frame->height)});
    }
  };
  if (avcodec_open2(context, codec, nullptr) == 0) {
    for (const GroupView& group : WalkGroups(file).groups) {
      for (int i = 0; i < CountBlocks(group).video; ++i) {
        const BlockView block = *NthVideoBlock(group, i);
        packet->data = const_cast<uint8_t*>(block.payload);
        packet->size = static_cast<int>(block.PayloadSize());
        if (avcodec_send_packet(context, packet) == 0) drain();
      }
    }
    avcodec_send_packet(context, nullptr);
    drain();
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&context);
  return pictures;
}

struct CodecCase {
  VideoCodec codec;
  AVCodecID decoder;
  uint32_t magic;
};

std::string CaseName(VideoCodec codec) {
  switch (codec) {
    case VideoCodec::H264: return "H264";
    case VideoCodec::Mpeg4: return "Mpeg4";
    case VideoCodec::Mpeg4Sh: return "Mpeg4Sh";
  }
  return "";
}

class DecodeTest : public ::testing::TestWithParam<CodecCase> {};

TEST_P(DecodeTest, EveryBlockDecodesToTheNextPicture) {
  Options options = SmallOptions("decode.mp4");
  options.codec = GetParam().codec;
  options.width = 320;
  options.height = 240;
  options.frames = 60;
  options.groupFrames = 5;
  options.gopGroups = 4;
  options.audioCode = kAudioG711A;
  const std::vector<uint8_t> file = Record(options);
  EXPECT_EQ(HeaderOf(file).magic, GetParam().magic);

  const std::vector<DecodedPicture> pictures = DecodeVideo(GetParam().decoder, file);
  ASSERT_EQ(pictures.size(), 60u);
  for (size_t i = 0; i < pictures.size(); ++i) {
    EXPECT_EQ(pictures[i].width, 320);
    EXPECT_EQ(pictures[i].height, 240);
    EXPECT_EQ(pictures[i].counter, i);
    if (i % 20 == 0) {
      EXPECT_TRUE(pictures[i].key) << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Codecs, DecodeTest,
                         ::testing::Values(CodecCase{VideoCodec::H264, AV_CODEC_ID_H264, kMagic4HLQ},
                                           CodecCase{VideoCodec::Mpeg4, AV_CODEC_ID_MPEG4, kMagic4MLQ},
                                           CodecCase{VideoCodec::Mpeg4Sh, AV_CODEC_ID_MPEG4, kMagic4MSH}),
                         [](const auto& info) { return CaseName(info.param.codec); });

// A key group must be decodable on its own: a reader that resumes there has nothing before it.
TEST(DecodeTest, KeyGroupDecodesWithoutTheGroupsBeforeIt) {
  Options options = SmallOptions("resume.mp4");
  options.frames = 40;
  options.gopGroups = 2;
  const std::vector<uint8_t> file = Record(options);
  const GroupWalk walk = WalkGroups(file);
  ASSERT_EQ(walk.groups.size(), 4u);
  ASSERT_EQ(walk.groups[2].header.frameType, kFrameTypeKey);

  std::vector<uint8_t> tail(file.begin(), file.begin() + kFileHeaderSize);
  tail.insert(tail.end(), walk.groups[2].start, file.data() + file.size());
  const std::vector<DecodedPicture> pictures = DecodeVideo(AV_CODEC_ID_H264, tail);
  ASSERT_EQ(pictures.size(), 20u);
  EXPECT_TRUE(pictures[0].key);
  EXPECT_EQ(pictures[0].counter, 20u);
  EXPECT_EQ(pictures[19].counter, 39u);
}

}  // namespace
