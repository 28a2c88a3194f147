#include "Yv12Picture.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace vendor {

Yv12Layout Yv12Layout::For(int width, int height) {
  Yv12Layout layout;
  layout.width = width;
  layout.height = height;
  layout.chromaWidth = (width + 1) / 2;
  layout.lumaSize = static_cast<size_t>(width) * static_cast<size_t>(height);
  layout.chromaSize =
      static_cast<size_t>(layout.chromaWidth) * static_cast<size_t>((height + 1) / 2);
  return layout;
}

Yv12Picture::~Yv12Picture() { sws_freeContext(scaler_); }

bool Yv12Picture::Assign(const AVFrame& frame) {
  if (frame.width <= 0 || frame.height <= 0) return false;
  scaler_ = sws_getCachedContext(scaler_, frame.width, frame.height,
                                 static_cast<AVPixelFormat>(frame.format), frame.width,
                                 frame.height, AV_PIX_FMT_YUV420P, SWS_POINT, nullptr, nullptr,
                                 nullptr);
  if (scaler_ == nullptr) return false;
  layout_ = Yv12Layout::For(frame.width, frame.height);
  bytes_.resize(layout_.TotalSize());
  uint8_t* luma = bytes_.data();
  uint8_t* v = luma + layout_.lumaSize;
  uint8_t* u = v + layout_.chromaSize;
  uint8_t* planes[4] = {luma, u, v, nullptr};
  const int strides[4] = {layout_.width, layout_.chromaWidth, layout_.chromaWidth, 0};
  sws_scale(scaler_, frame.data, frame.linesize, 0, frame.height, planes, strides);
  timeMs_ = frame.pts == AV_NOPTS_VALUE ? 0 : frame.pts;
  return true;
}

FramePicture Yv12Picture::AsFramePicture() const {
  FramePicture picture;
  picture.width = layout_.width;
  picture.height = layout_.height;
  const uint8_t* luma = bytes_.data();
  const uint8_t* v = luma + layout_.lumaSize;
  picture.planes[0] = luma;
  picture.planes[1] = v + layout_.chromaSize;
  picture.planes[2] = v;
  picture.strides[0] = layout_.width;
  picture.strides[1] = picture.strides[2] = layout_.chromaWidth;
  picture.timeMs = timeMs_;
  return picture;
}

}  // namespace vendor
