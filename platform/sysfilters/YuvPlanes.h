// Where the planes of an uncompressed planar 4:2:0 picture lie in a sample buffer: YV12 (Y, V,
// U) and I420/IYUV (Y, U, V), rows without padding, chroma planes ((width+1)/2) wide and
// ((height+1)/2) high, the layout the recorder decoders deliver.
#pragma once

#include <cstddef>
#include <cstdint>

#include "MediaType.h"

struct YuvPlanes {
  int width = 0;
  int height = 0;
  // Y, U, V in that order whatever the layout in the buffer.
  uint8_t* planes[3] = {nullptr, nullptr, nullptr};
  int strides[3] = {0, 0, 0};
};

// True for YV12, I420 and IYUV.
bool IsPlanarYuv420(const GUID& subtype);
// Bytes of one picture of that size, or 0 for a size out of range.
size_t PlanarYuv420Size(int width, int height);
// The planes of `buffer` (at least PlanarYuv420Size bytes) for `subtype`.
YuvPlanes MapPlanarYuv420(const GUID& subtype, uint8_t* buffer, int width, int height);

// Width and height of a VIDEOINFOHEADER type (height made positive); false when the type has no
// such format block or the size is out of range.
bool VideoSizeOf(const CMediaType& mt, int* width, int* height);
