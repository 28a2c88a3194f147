// PictureWriter: writes decoded frames into uncompressed 4:2:0 buffers as a video renderer
// expects them: YV12 (Y, V, U) or I420 (Y, U, V), luma rows `stride` bytes apart and chroma
// rows stride / 2. A frame of another size or pixel format is scaled and converted to the
// buffer's, so the buffer always holds the picture size agreed on the connection.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavutil/frame.h>
}

struct SwsContext;

namespace vendor {

enum class PlaneOrder { Yv12, I420 };

struct PictureLayout {
  int width = 0;
  int height = 0;
  int stride = 0;  // luma bytes per row, at least width
  PlaneOrder order = PlaneOrder::Yv12;

  int ChromaStride() const { return stride / 2; }
  int ChromaHeight() const { return (height + 1) / 2; }
  size_t LumaSize() const { return static_cast<size_t>(stride) * static_cast<size_t>(height); }
  size_t ChromaSize() const {
    return static_cast<size_t>(ChromaStride()) * static_cast<size_t>(ChromaHeight());
  }
  size_t ImageSize() const { return LumaSize() + 2 * ChromaSize(); }
};

class PictureWriter {
 public:
  PictureWriter() = default;
  ~PictureWriter();
  PictureWriter(const PictureWriter&) = delete;
  PictureWriter& operator=(const PictureWriter&) = delete;

  // Writes `frame` into `buffer` (at least layout.ImageSize() bytes). False when the frame
  // has no picture or cannot be converted.
  [[nodiscard]] bool Write(const AVFrame& frame, const PictureLayout& layout, uint8_t* buffer);

 private:
  SwsContext* scaler_ = nullptr;  // cached for the last source and target
};

}  // namespace vendor
