#include "AviDecompressor.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

#include "SysFilterIds.h"
#include "YuvPlanes.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace {

struct RgbFormat {
  const GUID* subtype;
  int bitCount;
  AVPixelFormat pixelFormat;  // byte order as a little-endian DIB stores it
};

constexpr RgbFormat kOutputs[] = {
    {&MEDIASUBTYPE_RGB32, 32, AV_PIX_FMT_BGRA},
    {&MEDIASUBTYPE_RGB24, 24, AV_PIX_FMT_BGR24},
};
constexpr int kBitsPerByte = 8;
constexpr int kDibRowAlign = 4;
constexpr LONG kOutputBuffers = 2;

const RgbFormat* FindOutput(const GUID& subtype) {
  for (const RgbFormat& f : kOutputs) {
    if (*f.subtype == subtype) return &f;
  }
  return nullptr;
}

int DibStride(int width, int bitCount) {
  const int bytes = width * bitCount / kBitsPerByte;
  return (bytes + kDibRowAlign - 1) / kDibRowAlign * kDibRowAlign;
}

}  // namespace

AviDecompressor::AviDecompressor(IUnknown* outer)
    : CTransformFilter("AVI Decompressor", outer, CLSID_AVIDec) {}

AviDecompressor::~AviDecompressor() { sws_freeContext(m_scaler); }

CUnknown* AviDecompressor::CreateInstance(IUnknown* outer, HRESULT*) {
  return new (std::nothrow) AviDecompressor(outer);
}

HRESULT AviDecompressor::CheckInputType(const CMediaType* mtIn) {
  int width = 0;
  int height = 0;
  if (mtIn->majortype != MEDIATYPE_Video || !IsPlanarYuv420(mtIn->subtype) ||
      !VideoSizeOf(*mtIn, &width, &height))
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT AviDecompressor::CheckTransform(const CMediaType* mtIn, const CMediaType* mtOut) {
  if (FAILED(CheckInputType(mtIn))) return VFW_E_TYPE_NOT_ACCEPTED;
  const RgbFormat* out = FindOutput(mtOut->subtype);
  int inWidth = 0, inHeight = 0, outWidth = 0, outHeight = 0;
  if (mtOut->majortype != MEDIATYPE_Video || !out || !VideoSizeOf(*mtIn, &inWidth, &inHeight) ||
      !VideoSizeOf(*mtOut, &outWidth, &outHeight))
    return VFW_E_TYPE_NOT_ACCEPTED;
  VIDEOINFOHEADER vih;
  std::memcpy(&vih, mtOut->pbFormat, sizeof(vih));
  // Only bottom-up DIBs of the input's size.
  if (inWidth != outWidth || inHeight != outHeight || vih.bmiHeader.biHeight < 0 ||
      vih.bmiHeader.biBitCount != out->bitCount)
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT AviDecompressor::GetMediaType(int position, CMediaType* pMediaType) {
  if (position < 0) return E_INVALIDARG;
  if (position >= static_cast<int>(std::size(kOutputs))) return VFW_S_NO_MORE_ITEMS;
  const CMediaType& in = m_pInput->CurrentMediaType();
  int width = 0;
  int height = 0;
  if (!VideoSizeOf(in, &width, &height)) return E_UNEXPECTED;
  VIDEOINFOHEADER source;
  std::memcpy(&source, in.pbFormat, sizeof(source));
  const RgbFormat& f = kOutputs[position];
  pMediaType->InitMediaType();
  pMediaType->SetType(&MEDIATYPE_Video);
  pMediaType->SetSubtype(f.subtype);
  pMediaType->SetFormatType(&FORMAT_VideoInfo);
  auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(pMediaType->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
  if (!vih) return E_OUTOFMEMORY;
  const DWORD imageSize = static_cast<DWORD>(DibStride(width, f.bitCount)) * height;
  vih->AvgTimePerFrame = source.AvgTimePerFrame;
  vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  vih->bmiHeader.biWidth = width;
  vih->bmiHeader.biHeight = height;
  vih->bmiHeader.biPlanes = 1;
  vih->bmiHeader.biBitCount = static_cast<WORD>(f.bitCount);
  vih->bmiHeader.biCompression = BI_RGB;
  vih->bmiHeader.biSizeImage = imageSize;
  pMediaType->SetSampleSize(imageSize);
  return S_OK;
}

HRESULT AviDecompressor::DecideBufferSize(IMemAllocator* pAllocator, ALLOCATOR_PROPERTIES* pProp) {
  const CMediaType& out = m_pOutput->CurrentMediaType();
  pProp->cBuffers = std::max(pProp->cBuffers, kOutputBuffers);
  pProp->cbBuffer = std::max<LONG>(pProp->cbBuffer, static_cast<LONG>(out.GetSampleSize()));
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = pAllocator->SetProperties(pProp, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer >= static_cast<LONG>(out.GetSampleSize()) ? S_OK : E_FAIL;
}

HRESULT AviDecompressor::StartStreaming() {
  const CMediaType& in = m_pInput->CurrentMediaType();
  const RgbFormat* out = FindOutput(m_pOutput->CurrentMediaType().subtype);
  if (!out || !VideoSizeOf(in, &m_width, &m_height)) return E_UNEXPECTED;
  m_outStride = DibStride(m_width, out->bitCount);
  sws_freeContext(m_scaler);
  m_scaler = sws_getContext(m_width, m_height, AV_PIX_FMT_YUV420P, m_width, m_height,
                            out->pixelFormat, SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr,
                            nullptr);
  return m_scaler ? S_OK : E_OUTOFMEMORY;
}

HRESULT AviDecompressor::StopStreaming() {
  sws_freeContext(m_scaler);
  m_scaler = nullptr;
  return S_OK;
}

HRESULT AviDecompressor::Transform(IMediaSample* pIn, IMediaSample* pOut) {
  BYTE* src = nullptr;
  BYTE* dst = nullptr;
  if (!m_scaler || FAILED(pIn->GetPointer(&src)) || FAILED(pOut->GetPointer(&dst))) return E_UNEXPECTED;
  const size_t needed = PlanarYuv420Size(m_width, m_height);
  const size_t outSize = static_cast<size_t>(m_outStride) * m_height;
  // A short picture is dropped rather than read past its end.
  if (pIn->GetActualDataLength() < static_cast<LONG>(needed)) return S_FALSE;
  if (pOut->GetSize() < static_cast<LONG>(outSize)) return E_UNEXPECTED;
  const YuvPlanes in = MapPlanarYuv420(m_pInput->CurrentMediaType().subtype, src, m_width, m_height);
  // Bottom-up: the first picture row is the last row of the buffer.
  uint8_t* const rows[1] = {dst + static_cast<size_t>(m_outStride) * (m_height - 1)};
  const int strides[1] = {-m_outStride};
  sws_scale(m_scaler, in.planes, in.strides, 0, m_height, rows, strides);
  pOut->SetActualDataLength(static_cast<LONG>(outSize));
  pOut->SetSyncPoint(TRUE);
  return S_OK;
}
