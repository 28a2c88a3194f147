// The uncompressed formats the writer's inputs take: the video subtypes (in the order they are
// offered) with their pixel layouts, and PCM. Also maps an input buffer onto picture planes.
#pragma once

#include <cstddef>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libavutil/samplefmt.h>
}

#include "OwnedMediaType.h"

struct VideoInputFormat {
  GUID subtype;
  AVPixelFormat pixel_format;
  WORD bit_count;
  DWORD compression;  // the FOURCC, BI_RGB or BI_BITFIELDS
  bool rgb;           // DIB rows: 4-byte aligned, bottom-up when the height is positive
  bool chroma_swapped;  // V plane before U
};

const std::vector<VideoInputFormat>& VideoInputFormats();
const VideoInputFormat* FindVideoInput(const GUID& subtype);

// The media type offered for `format` at the given picture size and frame time.
OwnedMediaType VideoInputType(const VideoInputFormat& format, LONG width, LONG height,
                              REFERENCE_TIME frame_time);
// 16-bit PCM at the given rate and channel count.
OwnedMediaType PcmInputType(DWORD sample_rate, WORD channels);
// The sample format of integer PCM with `bits` per sample; AV_SAMPLE_FMT_NONE if unsupported.
AVSampleFormat PcmSampleFormat(WORD bits);

// True for integer PCM the writer's resampler takes.
bool IsUsablePcm(const WAVEFORMATEX& wave);

// An input picture's geometry, taken from its VIDEOINFOHEADER.
struct PictureLayout {
  const VideoInputFormat* format = nullptr;
  int width = 0;
  int height = 0;
  bool bottom_up = false;
  int strides[4] = {};
  size_t plane_offsets[4] = {};
  size_t size = 0;  // bytes one picture takes
};

// Fails with NS_E_INVALID_INPUT_FORMAT for sizes or formats the writer cannot take.
HRESULT MakePictureLayout(const GUID& subtype, const BITMAPINFOHEADER& header,
                          PictureLayout* layout);
// Plane pointers and strides for one picture of `layout` in `data` (already checked to hold
// layout.size bytes); bottom-up pictures get negative strides from their last row.
void MapPicture(const PictureLayout& layout, const BYTE* data, const uint8_t* planes[4],
                int strides[4]);
