#include "PictureWriter.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace vendor {

PictureWriter::~PictureWriter() { sws_freeContext(scaler_); }

bool PictureWriter::Write(const AVFrame& frame, const PictureLayout& layout, uint8_t* buffer) {
  if (frame.width <= 0 || frame.height <= 0 || layout.width <= 0 || layout.height <= 0)
    return false;
  // Same size and format: libswscale copies the planes without scaling.
  scaler_ = sws_getCachedContext(scaler_, frame.width, frame.height,
                                 static_cast<AVPixelFormat>(frame.format), layout.width,
                                 layout.height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr,
                                 nullptr, nullptr);
  if (!scaler_) return false;
  uint8_t* luma = buffer;
  uint8_t* second = luma + layout.LumaSize();
  uint8_t* third = second + layout.ChromaSize();
  uint8_t* u = layout.order == PlaneOrder::I420 ? second : third;
  uint8_t* v = layout.order == PlaneOrder::I420 ? third : second;
  uint8_t* planes[4] = {luma, u, v, nullptr};
  const int strides[4] = {layout.stride, layout.ChromaStride(), layout.ChromaStride(), 0};
  return sws_scale(scaler_, frame.data, frame.linesize, 0, frame.height, planes, strides) > 0;
}

}  // namespace vendor
