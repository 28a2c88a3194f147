#include "RecorderVideoDecoder.h"

#include <algorithm>

#include "recorder/StreamFormat.h"

namespace vendor {
namespace {

}  // namespace

AVCodecID RecorderVideoDecoder::CodecForMagic(uint32_t magic) {
  switch (magic) {
    case recorder::kMagic4HLQ: return AV_CODEC_ID_H264;
    case recorder::kMagic4MLQ:
    case recorder::kMagic4MSH: return AV_CODEC_ID_MPEG4;
    default: return AV_CODEC_ID_NONE;
  }
}

std::unique_ptr<RecorderVideoDecoder> RecorderVideoDecoder::Create(uint32_t magic,
                                                                   Threading threading) {
  const AVCodecID id = CodecForMagic(magic);
  if (id == AV_CODEC_ID_NONE) return nullptr;
  const AVCodec* codec = avcodec_find_decoder(id);
  if (codec == nullptr) return nullptr;
  AVCodecContext* context = avcodec_alloc_context3(codec);
  if (context == nullptr) return nullptr;
  if (threading == Threading::kFrames) {
    // Frames decode on libavcodec's worker threads while the caller's thread delivers (and
    // downstream encodes) the frames before them.
    context->thread_type = FF_THREAD_FRAME;
    context->thread_count = 0;  // one per core
  } else {
    context->thread_count = 1;
  }
  if (avcodec_open2(context, codec, nullptr) < 0) {
    avcodec_free_context(&context);
    return nullptr;
  }
  std::unique_ptr<RecorderVideoDecoder> decoder(new RecorderVideoDecoder(context));
  if (decoder->packet_ == nullptr || decoder->frame_ == nullptr) return nullptr;
  return decoder;
}

RecorderVideoDecoder::RecorderVideoDecoder(AVCodecContext* context)
    : context_(context), packet_(av_packet_alloc()), frame_(av_frame_alloc()) {}

RecorderVideoDecoder::~RecorderVideoDecoder() {
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  avcodec_free_context(&context_);
  av_buffer_pool_uninit(&pool_);
}

bool RecorderVideoDecoder::Decode(recorder::ByteSpan payload, int64_t pts,
                                  const FrameHandler& handler) {
  if (payload.empty()) return false;
  if (!FillPacket(payload)) return false;
  packet_->pts = pts;
  packet_->dts = AV_NOPTS_VALUE;
  int sent = avcodec_send_packet(context_, packet_);
  if (sent == AVERROR(EAGAIN)) {
    // The decoder wants its output taken first; take it and offer the payload again.
    ReceiveFrames(handler);
    sent = avcodec_send_packet(context_, packet_);
  }
  av_packet_unref(packet_);
  const bool received = ReceiveFrames(handler);
  return sent >= 0 && received;
}

bool RecorderVideoDecoder::FillPacket(recorder::ByteSpan payload) {
  if (payload.size() > static_cast<size_t>(INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE)) return false;
  const size_t needed = payload.size() + AV_INPUT_BUFFER_PADDING_SIZE;
  // Packets come from a pool of buffers as large as the largest frame so far, so decoding
  // allocates nothing once the stream's frame sizes are known. A larger frame replaces the pool;
  // buffers the decoder still holds keep the old one alive until they come back.
  if (needed > poolBufferSize_) {
    av_buffer_pool_uninit(&pool_);
    poolBufferSize_ = std::max(needed, poolBufferSize_ * 2);
    pool_ = av_buffer_pool_init(poolBufferSize_, nullptr);
    if (!pool_) {
      poolBufferSize_ = 0;
      return false;
    }
  }
  AVBufferRef* buffer = av_buffer_pool_get(pool_);
  if (!buffer) return false;
  std::copy(payload.begin(), payload.end(), buffer->data);
  // The padding must be zero: libavcodec's bit readers may run into it.
  std::fill_n(buffer->data + payload.size(), AV_INPUT_BUFFER_PADDING_SIZE, 0);
  packet_->buf = buffer;
  packet_->data = buffer->data;
  packet_->size = static_cast<int>(payload.size());
  return true;
}

void RecorderVideoDecoder::Drain(const FrameHandler& handler) {
  if (avcodec_send_packet(context_, nullptr) < 0) return;
  ReceiveFrames(handler);
  avcodec_flush_buffers(context_);
}

void RecorderVideoDecoder::Reset() { avcodec_flush_buffers(context_); }

void RecorderVideoDecoder::SetSkipBFrames(bool skip) {
  context_->skip_frame = skip ? AVDISCARD_BIDIR : AVDISCARD_DEFAULT;
}

bool RecorderVideoDecoder::ReceiveFrames(const FrameHandler& handler) {
  for (;;) {
    const int result = avcodec_receive_frame(context_, frame_);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
    if (result < 0) return false;
    frame_->pts = frame_->best_effort_timestamp;
    handler(*frame_);
    av_frame_unref(frame_);
  }
}

}  // namespace vendor
