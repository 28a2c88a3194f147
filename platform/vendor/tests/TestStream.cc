#include "TestStream.h"

#include <gtest/gtest.h>

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace vendortest {
namespace {

using namespace recorder;

constexpr uint32_t kAudioBlockBytes = 160;
constexpr uint32_t kAudioMarker = 0x1001;

void Append(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void AppendGroup(std::vector<uint8_t>& out, const TestStreamOptions& options, bool key,
                 std::span<const uint8_t> frame) {
  GroupHeader group;
  group.startCode = kGroupStartCode;
  group.word4 = 0x1000;
  group.audioWord = kAudioMarker;
  group.blockCountWord = 2;
  group.groupResolution = static_cast<uint32_t>(options.width | options.height << 16);
  group.frameType = key ? kFrameTypeKey : kFrameTypeOther;
  group.frameRateCode = kFrameRateBase + static_cast<uint32_t>(options.fps);
  Append(out, Serialize(group));
  BlockHeader video;
  video.type = kBlockVideo1;
  video.length = static_cast<uint32_t>(frame.size());
  Append(out, Serialize(video));
  Append(out, frame);
  BlockHeader audio;
  audio.type = kBlockAudio1;
  audio.length = kAudioBlockBytes;
  Append(out, Serialize(audio));
  out.insert(out.end(), kAudioBlockBytes, 0);
}

void Paint(AVFrame* frame, int index) {
  for (int y = 0; y < frame->height; ++y)
    for (int x = 0; x < frame->width; ++x)
      frame->data[0][y * frame->linesize[0] + x] = static_cast<uint8_t>(x + y + 3 * index);
  for (int p = 1; p < 3; ++p)
    for (int y = 0; y < frame->height / 2; ++y)
      for (int x = 0; x < frame->width / 2; ++x)
        frame->data[p][y * frame->linesize[p] + x] = static_cast<uint8_t>(96 + p * 32);
}

}  // namespace

TestStream MakeTestStream(const TestStreamOptions& options) {
  TestStream stream;
  FileHeader header;
  header.magic = options.magic;
  header.version = kVersionExplicitSize;
  header.systemType = kSystemVideoAudio;
  header.videoStandard = kStandardPal;
  header.audioChannels = 1;
  header.audioBitsPerSample = 16;
  header.audioSampleRate = 8000;
  header.videoResolution = static_cast<uint32_t>(options.width | options.height << 16);
  header.audioCodec = kAudioAdpcm;
  stream.header = Serialize(header);

  const bool h264 = options.magic == kMagic4HLQ;
  const AVCodec* codec = h264 ? avcodec_find_encoder_by_name("libx264")
                              : avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  if (codec == nullptr) {
    ADD_FAILURE() << "no encoder";
    return stream;
  }
  std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> context(
      avcodec_alloc_context3(codec), [](AVCodecContext* c) { avcodec_free_context(&c); });
  context->width = options.width;
  context->height = options.height;
  context->pix_fmt = AV_PIX_FMT_YUV420P;
  context->time_base = {1, options.fps};
  context->gop_size = options.gop;
  context->max_b_frames = 0;
  context->thread_count = 1;
  AVDictionary* settings = nullptr;
  if (h264) {
    av_dict_set(&settings, "preset", "ultrafast", 0);
    av_dict_set(&settings, "tune", "zerolatency", 0);
  }
  const int opened = avcodec_open2(context.get(), codec, &settings);
  av_dict_free(&settings);
  if (opened < 0) {
    ADD_FAILURE() << "encoder did not open";
    return stream;
  }
  std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(),
                                                     [](AVFrame* f) { av_frame_free(&f); });
  std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(
      av_packet_alloc(), [](AVPacket* p) { av_packet_free(&p); });
  frame->width = options.width;
  frame->height = options.height;
  frame->format = AV_PIX_FMT_YUV420P;
  av_frame_get_buffer(frame.get(), 0);

  const auto collect = [&] {
    while (avcodec_receive_packet(context.get(), packet.get()) == 0) {
      AppendGroup(stream.groups, options, (packet->flags & AV_PKT_FLAG_KEY) != 0,
                  std::span<const uint8_t>(packet->data, static_cast<size_t>(packet->size)));
      ++stream.frames;
      av_packet_unref(packet.get());
    }
  };
  for (int i = 0; i < options.frames; ++i) {
    av_frame_make_writable(frame.get());
    Paint(frame.get(), i);
    frame->pts = i;
    avcodec_send_frame(context.get(), frame.get());
    collect();
  }
  avcodec_send_frame(context.get(), nullptr);
  collect();
  return stream;
}

}  // namespace vendortest
