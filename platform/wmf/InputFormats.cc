#include "InputFormats.h"

#include <cstdlib>
#include <utility>

extern "C" {
#include <libavutil/imgutils.h>
}

namespace {

constexpr int kMaxInputDimension = 8192;
constexpr int kDibRowAlignment = 4;
constexpr int kPackedAlignment = 1;
constexpr WORD kPcmBitsPerSample = 16;
constexpr int kBitsPerByte = 8;
constexpr WORD kMaxPcmChannels = 8;
constexpr DWORD kMaxPcmRate = 384000;

}  // namespace

const std::vector<VideoInputFormat>& VideoInputFormats() {
  // Palettised RGB8 is not offered: its colours would have to travel with the format block.
  static const std::vector<VideoInputFormat> formats = {
      {WMMEDIASUBTYPE_IYUV, AV_PIX_FMT_YUV420P, 12, WMMEDIASUBTYPE_IYUV.Data1, false, false},
      {WMMEDIASUBTYPE_YV12, AV_PIX_FMT_YUV420P, 12, WMMEDIASUBTYPE_YV12.Data1, false, true},
      {WMMEDIASUBTYPE_YUY2, AV_PIX_FMT_YUYV422, 16, WMMEDIASUBTYPE_YUY2.Data1, false, false},
      {WMMEDIASUBTYPE_UYVY, AV_PIX_FMT_UYVY422, 16, WMMEDIASUBTYPE_UYVY.Data1, false, false},
      {WMMEDIASUBTYPE_YVYU, AV_PIX_FMT_YVYU422, 16, WMMEDIASUBTYPE_YVYU.Data1, false, false},
      {WMMEDIASUBTYPE_YVU9, AV_PIX_FMT_YUV410P, 9, WMMEDIASUBTYPE_YVU9.Data1, false, true},
      {WMMEDIASUBTYPE_RGB32, AV_PIX_FMT_BGR0, 32, BI_RGB, true, false},
      {WMMEDIASUBTYPE_RGB24, AV_PIX_FMT_BGR24, 24, BI_RGB, true, false},
      {WMMEDIASUBTYPE_RGB565, AV_PIX_FMT_RGB565LE, 16, BI_BITFIELDS, true, false},
      {WMMEDIASUBTYPE_RGB555, AV_PIX_FMT_RGB555LE, 16, BI_RGB, true, false},
  };
  return formats;
}

const VideoInputFormat* FindVideoInput(const GUID& subtype) {
  for (const VideoInputFormat& format : VideoInputFormats())
    if (format.subtype == subtype) return &format;
  return nullptr;
}

OwnedMediaType VideoInputType(const VideoInputFormat& format, LONG width, LONG height,
                              REFERENCE_TIME frame_time) {
  VIDEOINFOHEADER info{};
  info.AvgTimePerFrame = frame_time;
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = format.bit_count;
  info.bmiHeader.biCompression = format.compression;
  PictureLayout layout;
  if (SUCCEEDED(MakePictureLayout(format.subtype, info.bmiHeader, &layout)))
    info.bmiHeader.biSizeImage = static_cast<DWORD>(layout.size);
  WM_MEDIA_TYPE type{};
  type.majortype = WMMEDIATYPE_Video;
  type.subtype = format.subtype;
  type.bFixedSizeSamples = TRUE;
  type.lSampleSize = info.bmiHeader.biSizeImage;
  type.formattype = WMFORMAT_VideoInfo;
  type.cbFormat = sizeof info;
  type.pbFormat = reinterpret_cast<BYTE*>(&info);
  return OwnedMediaType(type);
}

OwnedMediaType PcmInputType(DWORD sample_rate, WORD channels) {
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = channels;
  wave.nSamplesPerSec = sample_rate;
  wave.wBitsPerSample = kPcmBitsPerSample;
  wave.nBlockAlign = static_cast<WORD>(channels * kPcmBitsPerSample / kBitsPerByte);
  wave.nAvgBytesPerSec = sample_rate * wave.nBlockAlign;
  WM_MEDIA_TYPE type{};
  type.majortype = WMMEDIATYPE_Audio;
  type.subtype = WMMEDIASUBTYPE_PCM;
  type.bFixedSizeSamples = TRUE;
  type.lSampleSize = wave.nBlockAlign;
  type.formattype = WMFORMAT_WaveFormatEx;
  type.cbFormat = sizeof wave;
  type.pbFormat = reinterpret_cast<BYTE*>(&wave);
  return OwnedMediaType(type);
}

AVSampleFormat PcmSampleFormat(WORD bits) {
  switch (bits) {
    case 8: return AV_SAMPLE_FMT_U8;
    case 16: return AV_SAMPLE_FMT_S16;
    case 32: return AV_SAMPLE_FMT_S32;
    default: return AV_SAMPLE_FMT_NONE;
  }
}

bool IsUsablePcm(const WAVEFORMATEX& wave) {
  return wave.wFormatTag == WAVE_FORMAT_PCM &&
         PcmSampleFormat(wave.wBitsPerSample) != AV_SAMPLE_FMT_NONE && wave.nChannels > 0 &&
         wave.nChannels <= kMaxPcmChannels && wave.nSamplesPerSec > 0 &&
         wave.nSamplesPerSec <= kMaxPcmRate &&
         wave.nBlockAlign == wave.nChannels * wave.wBitsPerSample / kBitsPerByte;
}

HRESULT MakePictureLayout(const GUID& subtype, const BITMAPINFOHEADER& header,
                          PictureLayout* layout) {
  const VideoInputFormat* format = FindVideoInput(subtype);
  if (!format || header.biBitCount != format->bit_count) return NS_E_INVALID_INPUT_FORMAT;
  const int width = header.biWidth;
  if (header.biHeight == INT32_MIN) return NS_E_INVALID_INPUT_FORMAT;
  const int height = std::abs(header.biHeight);
  if (width <= 0 || height <= 0 || width > kMaxInputDimension || height > kMaxInputDimension)
    return NS_E_INVALID_INPUT_FORMAT;
  // Top-down RGB is allowed (negative height); YUV is always top-down.
  PictureLayout result;
  result.format = format;
  result.width = width;
  result.height = height;
  result.bottom_up = format->rgb && header.biHeight > 0;
  const int align = format->rgb ? kDibRowAlignment : kPackedAlignment;
  if (av_image_fill_linesizes(result.strides, format->pixel_format, width) < 0)
    return NS_E_INVALID_INPUT_FORMAT;
  if (format->rgb) result.strides[0] = FFALIGN(result.strides[0], align);
  ptrdiff_t strides[4];
  for (int i = 0; i < 4; ++i) strides[i] = result.strides[i];
  size_t plane_sizes[4] = {};
  if (av_image_fill_plane_sizes(plane_sizes, format->pixel_format, height, strides) < 0)
    return NS_E_INVALID_INPUT_FORMAT;
  for (int i = 0; i < 4; ++i) {
    result.plane_offsets[i] = result.size;
    result.size += plane_sizes[i];
  }
  *layout = result;
  return S_OK;
}

void MapPicture(const PictureLayout& layout, const BYTE* data, const uint8_t* planes[4],
                int strides[4]) {
  for (int i = 0; i < 4; ++i) {
    planes[i] = layout.strides[i] ? data + layout.plane_offsets[i] : nullptr;
    strides[i] = layout.strides[i];
  }
  if (layout.format->chroma_swapped) {
    std::swap(planes[1], planes[2]);
    std::swap(strides[1], strides[2]);
  }
  if (layout.bottom_up) {
    planes[0] += static_cast<size_t>(layout.height - 1) * strides[0];
    strides[0] = -strides[0];
  }
}
