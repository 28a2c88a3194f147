// RecorderVideoDecoder: decodes the video blocks of a recorder stream with libavcodec. The
// FileHeader's magic names the coding: "4HLQ" is H.264 (Annex B), "4MLQ" and "4MSH" are
// MPEG-4 part 2. Each video block payload is one coded frame.
//
// Damaged payloads are refused one by one; decoding goes on with the next payload. Frames
// leave in presentation order, possibly some payloads later than they went in (reordering).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "recorder/ByteOrder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/buffer.h>
}

namespace vendor {

class RecorderVideoDecoder {
 public:
  // Receives each decoded frame; the frame is valid only during the call. Its pts is the pts
  // given with the payload it came from.
  using FrameHandler = std::function<void(const AVFrame& frame)>;

  // The codec a FileHeader magic stands for, AV_CODEC_ID_NONE for families we cannot decode.
  static AVCodecID CodecForMagic(uint32_t magic);

  // A decoder for the magic; nullptr when the magic is unknown or libavcodec cannot open it.
  // kSingle: one thread and no frame delay, for live players of which many run at once.
  // kFrames: frame threads, which hold a few frames back (Drain hands them on) but let decoding
  // overlap whatever the caller does with the frames, for conversions and file playback.
  enum class Threading { kSingle, kFrames };
  static std::unique_ptr<RecorderVideoDecoder> Create(uint32_t magic,
                                                      Threading threading = Threading::kSingle);

  ~RecorderVideoDecoder();
  RecorderVideoDecoder(const RecorderVideoDecoder&) = delete;
  RecorderVideoDecoder& operator=(const RecorderVideoDecoder&) = delete;

  // Decodes one video block payload stamped with `pts` and hands on every frame that is
  // ready. False when libavcodec refused the payload.
  bool Decode(recorder::ByteSpan payload, int64_t pts, const FrameHandler& handler);

  // End of stream: hands on the frames still held back for reordering.
  void Drain(const FrameHandler& handler);

  // Forgets all state (after a seek or a reset of the source); the next frame the decoder
  // can show is the next key frame.
  void Reset();

  // Lets the decoder drop B frames (which nothing else refers to) to keep up.
  void SetSkipBFrames(bool skip);

 private:
  explicit RecorderVideoDecoder(AVCodecContext* context);
  bool ReceiveFrames(const FrameHandler& handler);
  // Copies `payload` into packet_ from the buffer pool.
  bool FillPacket(recorder::ByteSpan payload);

  AVCodecContext* context_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVBufferPool* pool_ = nullptr;
  size_t poolBufferSize_ = 0;
};

}  // namespace vendor
