#include "YuvPlanes.h"

#include <cstring>

namespace {

constexpr int kMaxDimension = 16384;

}  // namespace

bool IsPlanarYuv420(const GUID& subtype) {
  return subtype == MEDIASUBTYPE_YV12 || subtype == MEDIASUBTYPE_I420 ||
         subtype == MEDIASUBTYPE_IYUV;
}

size_t PlanarYuv420Size(int width, int height) {
  if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) return 0;
  const size_t chroma = static_cast<size_t>((width + 1) / 2) * ((height + 1) / 2);
  return static_cast<size_t>(width) * height + 2 * chroma;
}

YuvPlanes MapPlanarYuv420(const GUID& subtype, uint8_t* buffer, int width, int height) {
  YuvPlanes p;
  p.width = width;
  p.height = height;
  const int chromaWidth = (width + 1) / 2;
  const size_t lumaSize = static_cast<size_t>(width) * height;
  const size_t chromaSize = static_cast<size_t>(chromaWidth) * ((height + 1) / 2);
  uint8_t* first = buffer + lumaSize;
  uint8_t* second = first + chromaSize;
  const bool vFirst = subtype == MEDIASUBTYPE_YV12;
  p.planes[0] = buffer;
  p.planes[1] = vFirst ? second : first;
  p.planes[2] = vFirst ? first : second;
  p.strides[0] = width;
  p.strides[1] = p.strides[2] = chromaWidth;
  return p;
}

bool VideoSizeOf(const CMediaType& mt, int* width, int* height) {
  if (mt.formattype != FORMAT_VideoInfo || mt.cbFormat < sizeof(VIDEOINFOHEADER) || !mt.pbFormat)
    return false;
  VIDEOINFOHEADER vih;
  std::memcpy(&vih, mt.pbFormat, sizeof(vih));
  const LONG h = vih.bmiHeader.biHeight < 0 ? -vih.bmiHeader.biHeight : vih.bmiHeader.biHeight;
  if (PlanarYuv420Size(vih.bmiHeader.biWidth, h) == 0) return false;
  *width = vih.bmiHeader.biWidth;
  *height = h;
  return true;
}
