// One video stream's encoding: input pictures in any of the writer's uncompressed layouts
// are converted (and scaled to the stream size) by libswscale into pooled frames and encoded
// by libavcodec. Planar 4:2:0 pictures already of the stream's size are encoded where they
// lie: the frame references the buffer that holds them instead of a copy. Nothing is
// allocated per picture once the pool has warmed up.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

#include "EncoderSettings.h"
#include "InputFormats.h"
#include "PacketOutput.h"

struct INSSBuffer;

// One input picture: its bytes and the buffer that holds them (may be null, then the picture
// is always copied).
struct InputPicture {
  const BYTE* data = nullptr;
  size_t size = 0;
  INSSBuffer* owner = nullptr;
};

class VideoEncoder {
 public:
  VideoEncoder() = default;
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // Opens the encoder and the converter for pictures of `input`.
  HRESULT Open(const VideoSettings& settings, const PictureLayout& input, bool global_header);
  const AVCodecContext* Context() const { return encoder_; }

  // One picture taken at `time` (100 ns units). A picture whose time falls on the same frame
  // slot as the previous one is dropped (S_OK): the stream keeps its frame rate and every
  // kept picture its time.
  HRESULT Encode(const InputPicture& picture, REFERENCE_TIME time, PacketOutput& output,
                 int stream);
  // Drains the encoder at the end of writing.
  HRESULT Finish(PacketOutput& output, int stream);

 private:
  HRESULT ConfigureEncoder(const VideoSettings& settings, bool global_header);
  HRESULT NextFrame();
  // Points the frame at the picture in its owner's buffer, which the frame keeps referenced.
  HRESULT WrapFrame(const InputPicture& picture);
  // The picture needs neither conversion nor scaling and can be encoded where it lies.
  bool ReadsInPlace(const InputPicture& picture) const;

  AVCodecContext* encoder_ = nullptr;
  SwsContext* scaler_ = nullptr;
  AVBufferPool* pool_ = nullptr;  // picture buffers the encoder may keep a while
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  PictureLayout input_;
  int quality_ = 0;  // per-frame quality (lambda) in constant-quality mode, else 0
  int64_t last_pts_ = AV_NOPTS_VALUE;
};
