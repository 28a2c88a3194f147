// One libavcodec video encoder set up for recorder streams: no B-frames (every packet is the
// next frame in display order), an IDR/I frame exactly at every GOP start, one thread and
// fixed settings so equal input gives equal bytes.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "AvHandles.h"
#include "Options.h"
#include "PictureSource.h"

namespace recgen {

struct EncodedFrame {
  std::vector<uint8_t> data;
  bool key = false;
};

struct VideoSettings {
  VideoCodec codec = VideoCodec::H264;
  int width = 0;
  int height = 0;
  int fps = 0;
  int gopFrames = 0;   // a key frame every this many frames, starting with frame 0
  int64_t frames = 0;  // frames the stream will have
};

class VideoEncoder {
 public:
  // Opens the encoder; throws with the reason when libavcodec cannot.
  explicit VideoEncoder(const VideoSettings& settings);

  // The encoded next frame of the moving picture, in order. Throws when the encoder fails or
  // produces fewer frames than it was given.
  EncodedFrame Next();

  // The libavcodec encoder in use ("libx264", "mpeg4", ...).
  const char* EncoderName() const;

 private:
  void Open();
  void SendNextPicture();
  void Drain();

  VideoSettings settings_;
  CodecContextPtr context_;
  PacketPtr packet_;
  PictureSource pictures_;
  int64_t sent_ = 0;
  bool flushed_ = false;
  std::deque<EncodedFrame> ready_;
};

// Raw elementary stream file extension for the codec.
const char* VideoExtension(VideoCodec codec);

}  // namespace recgen
