// Yv12Picture: a decoded frame packed as one YV12 buffer (Y plane, then V, then U; chroma
// planes ((width+1)/2) x ((height+1)/2); rows without padding), the picture layout of the
// player SDK's display callback. Frames of any libavcodec pixel format are converted.
#pragma once

#include <cstdint>
#include <vector>

#include "FrameSink.h"

extern "C" {
#include <libavutil/frame.h>
}

struct SwsContext;

namespace vendor {

// Sizes of the three planes of a packed YV12 picture.
struct Yv12Layout {
  int width = 0;
  int height = 0;
  size_t lumaSize = 0;
  size_t chromaSize = 0;  // each of V and U
  int chromaWidth = 0;

  static Yv12Layout For(int width, int height);
  size_t TotalSize() const { return lumaSize + 2 * chromaSize; }
};

class Yv12Picture {
 public:
  Yv12Picture() = default;
  ~Yv12Picture();
  Yv12Picture(const Yv12Picture&) = delete;
  Yv12Picture& operator=(const Yv12Picture&) = delete;

  // Converts the frame; false when it has no size or its format cannot be converted.
  bool Assign(const AVFrame& frame);

  bool Empty() const { return bytes_.empty(); }
  int Width() const { return layout_.width; }
  int Height() const { return layout_.height; }
  int64_t TimeMs() const { return timeMs_; }
  uint8_t* Data() { return bytes_.data(); }
  size_t Size() const { return bytes_.size(); }

  // The same picture as a frame-sink picture (planes Y, U, V).
  FramePicture AsFramePicture() const;

 private:
  std::vector<uint8_t> bytes_;
  Yv12Layout layout_;
  int64_t timeMs_ = 0;
  SwsContext* scaler_ = nullptr;  // cached for the last source size and format
};

}  // namespace vendor
