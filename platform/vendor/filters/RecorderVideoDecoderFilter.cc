#include "RecorderVideoDecoderFilter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "DebugOutput.h"
#include "RecorderFilterIds.h"
#include "recorder/RecorderMediaTypes.h"

namespace vendor {
namespace {

constexpr WORD kYuv420Bits = 12;
constexpr LONG kOutputBuffers = 4;
constexpr size_t kBitmapInfoOffset = 48;  // of bmiHeader in a VIDEOINFOHEADER

struct InputFormat {
  uint32_t magic = 0;
  recorder::PictureSize size;
  REFERENCE_TIME frameTime = 0;
};

// What a recorder video type says, if this filter can decode it.
std::optional<InputFormat> ReadInput(const CMediaType& mt) {
  if (*mt.Type() != MEDIATYPE_RecorderStream || *mt.FormatType() != FORMAT_VideoInfo ||
      mt.FormatLength() < recorder::kVideoFormatSize)
    return std::nullopt;
  if (*mt.Subtype() != MEDIASUBTYPE_RecorderVideo && *mt.Subtype() != MEDIASUBTYPE_RecorderVideo2)
    return std::nullopt;
  const auto header = recorder::FileHeaderOfFormat(recorder::ByteSpan(mt.Format(), mt.FormatLength()));
  if (!header || RecorderVideoDecoder::CodecForMagic(header->magic) == AV_CODEC_ID_NONE)
    return std::nullopt;
  VIDEOINFOHEADER info;
  std::memcpy(&info, mt.Format() + recorder::kFileHeaderSize, sizeof info);
  const int width = info.bmiHeader.biWidth;
  const int height = std::abs(info.bmiHeader.biHeight);
  if (width <= 0 || height <= 0 || width % 2 || height % 2) return std::nullopt;
  return InputFormat{header->magic, {width, height}, info.AvgTimePerFrame};
}

std::optional<PlaneOrder> OrderOf(const GUID& subtype) {
  if (subtype == MEDIASUBTYPE_YV12) return PlaneOrder::Yv12;
  if (subtype == MEDIASUBTYPE_I420 || subtype == MEDIASUBTYPE_IYUV) return PlaneOrder::I420;
  return std::nullopt;
}

// The layout an output type describes, if it is 4:2:0 of the given size.
std::optional<PictureLayout> ReadOutput(const CMediaType& mt, int width, int height) {
  const auto order = OrderOf(*mt.Subtype());
  if (*mt.Type() != MEDIATYPE_Video || !order || *mt.FormatType() != FORMAT_VideoInfo ||
      mt.FormatLength() < sizeof(VIDEOINFOHEADER))
    return std::nullopt;
  BITMAPINFOHEADER bitmap;
  std::memcpy(&bitmap, mt.Format() + kBitmapInfoOffset, sizeof bitmap);
  // A renderer may ask for wider rows than the picture; never narrower or of another height.
  if (bitmap.biWidth < width || bitmap.biWidth % 2 || std::abs(bitmap.biHeight) != height)
    return std::nullopt;
  return PictureLayout{width, height, bitmap.biWidth, *order};
}

}  // namespace

RecorderVideoDecoderFilter::RecorderVideoDecoderFilter(IUnknown* outer)
    : CTransformFilter(kRecorderVideoDecoderName, outer, CLSID_RecorderVideoDecoder),
      frameHandler_([this](const AVFrame& frame) { DeliverFrame(frame); }) {}

CUnknown* RecorderVideoDecoderFilter::CreateInstance(IUnknown* outer, HRESULT* phr) {
  auto* filter = new (std::nothrow) RecorderVideoDecoderFilter(outer);
  if (!filter) *phr = E_OUTOFMEMORY;
  return filter;
}

HRESULT RecorderVideoDecoderFilter::CheckInputType(const CMediaType* mtIn) {
  if (!mtIn) return E_POINTER;
  return ReadInput(*mtIn) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT RecorderVideoDecoderFilter::CheckTransform(const CMediaType* mtIn,
                                                   const CMediaType* mtOut) {
  if (!mtIn || !mtOut) return E_POINTER;
  const auto input = ReadInput(*mtIn);
  if (!input) return VFW_E_TYPE_NOT_ACCEPTED;
  return ReadOutput(*mtOut, input->size.width, input->size.height) ? S_OK
                                                                   : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT RecorderVideoDecoderFilter::SetMediaType(PIN_DIRECTION direction, const CMediaType* pmt) {
  if (direction == PINDIR_INPUT) {
    const auto input = ReadInput(*pmt);
    if (!input) return VFW_E_TYPE_NOT_ACCEPTED;
    magic_ = input->magic;
    width_ = input->size.width;
    height_ = input->size.height;
    frameTime_ = input->frameTime;
    return S_OK;
  }
  const auto layout = ReadOutput(*pmt, width_, height_);
  if (!layout) return VFW_E_TYPE_NOT_ACCEPTED;
  layout_ = *layout;
  return S_OK;
}

HRESULT RecorderVideoDecoderFilter::GetMediaType(int position, CMediaType* pMediaType) {
  if (!pMediaType) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  if (position > 1) return VFW_S_NO_MORE_ITEMS;
  const bool yv12 = position == 0;
  const PictureLayout layout{width_, height_, width_, yv12 ? PlaneOrder::Yv12 : PlaneOrder::I420};
  pMediaType->InitMediaType();
  pMediaType->SetType(&MEDIATYPE_Video);
  pMediaType->SetSubtype(yv12 ? &MEDIASUBTYPE_YV12 : &MEDIASUBTYPE_I420);
  pMediaType->SetFormatType(&FORMAT_VideoInfo);
  pMediaType->SetTemporalCompression(FALSE);
  pMediaType->SetSampleSize(static_cast<ULONG>(layout.ImageSize()));
  VIDEOINFOHEADER info{};
  info.rcSource = {0, 0, width_, height_};
  info.rcTarget = info.rcSource;
  info.AvgTimePerFrame = frameTime_;
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = height_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = kYuv420Bits;
  info.bmiHeader.biCompression = yv12 ? MakeFourCC('Y', 'V', '1', '2') : MakeFourCC('I', '4', '2', '0');
  info.bmiHeader.biSizeImage = static_cast<DWORD>(layout.ImageSize());
  if (!pMediaType->SetFormat(reinterpret_cast<const BYTE*>(&info), sizeof info))
    return E_OUTOFMEMORY;
  return S_OK;
}

HRESULT RecorderVideoDecoderFilter::DecideBufferSize(IMemAllocator* pAllocator,
                                                     ALLOCATOR_PROPERTIES* pProp) {
  if (!pAllocator || !pProp) return E_POINTER;
  ALLOCATOR_PROPERTIES wanted = *pProp;
  wanted.cBuffers = std::max(wanted.cBuffers, kOutputBuffers);
  wanted.cbBuffer = std::max(wanted.cbBuffer, static_cast<LONG>(layout_.ImageSize()));
  wanted.cbAlign = std::max<LONG>(wanted.cbAlign, 1);
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = pAllocator->SetProperties(&wanted, &actual);
  if (FAILED(hr)) return hr;
  return actual.cBuffers >= wanted.cBuffers && actual.cbBuffer >= wanted.cbBuffer ? S_OK : E_FAIL;
}

HRESULT RecorderVideoDecoderFilter::StartStreaming() {
  decoder_ = RecorderVideoDecoder::Create(magic_, RecorderVideoDecoder::Threading::kFrames);
  return decoder_ ? S_OK : VFW_E_UNSUPPORTED_VIDEO;
}

HRESULT RecorderVideoDecoderFilter::StopStreaming() {
  decoder_.reset();
  return S_OK;
}

HRESULT RecorderVideoDecoderFilter::Transform(IMediaSample*, IMediaSample*) { return E_UNEXPECTED; }

HRESULT RecorderVideoDecoderFilter::Receive(IMediaSample* pSample) {
  if (!m_pOutput->IsConnected() || !decoder_) return S_OK;
  BYTE* data = nullptr;
  const long length = pSample->GetActualDataLength();
  if (FAILED(pSample->GetPointer(&data)) || length <= 0) return S_OK;
  const auto block = recorder::FrameBlockOfVideoSample(
      recorder::ByteSpan(data, static_cast<size_t>(length)));
  if (!block) {
    OutputDebugStringA("Recorder Video Decoder: dropped a sample without its frame block\n");
    return S_OK;
  }
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  const HRESULT timed = pSample->GetTime(&start, &stop);
  duration_ = timed == S_OK && stop > start ? stop - start : frameTime_;
  deliverResult_ = S_OK;
  if (!decoder_->Decode(recorder::ByteSpan(block->payload, block->PayloadSize()), start,
                        frameHandler_))
    OutputDebugStringA("Recorder Video Decoder: dropped a frame it cannot decode\n");
  return deliverResult_;
}

void RecorderVideoDecoderFilter::DeliverFrame(const AVFrame& frame) {
  IMediaSample* out = nullptr;
  HRESULT hr = m_pOutput->GetDeliveryBuffer(&out, nullptr, nullptr, 0);
  if (FAILED(hr)) {
    deliverResult_ = hr;
    return;
  }
  if (frame.width != layout_.width || frame.height != layout_.height) FollowDecodedSize(frame, out);
  BYTE* buffer = nullptr;
  out->GetPointer(&buffer);
  if (static_cast<size_t>(out->GetSize()) < layout_.ImageSize() ||
      !writer_.Write(frame, layout_, buffer)) {
    OutputDebugStringA("Recorder Video Decoder: dropped a frame it cannot convert\n");
    out->Release();
    return;
  }
  REFERENCE_TIME start = frame.pts == AV_NOPTS_VALUE ? 0 : frame.pts;
  REFERENCE_TIME stop = start + duration_;
  out->SetActualDataLength(static_cast<LONG>(layout_.ImageSize()));
  out->SetTime(&start, &stop);
  out->SetSyncPoint(TRUE);
  out->SetDiscontinuity(FALSE);
  out->SetPreroll(FALSE);
  hr = m_pOutput->Deliver(out);
  out->Release();
  if (hr != S_OK) deliverResult_ = hr;
}

void RecorderVideoDecoderFilter::FollowDecodedSize(const AVFrame& frame, IMediaSample* out) {
  const PictureLayout decoded{frame.width, frame.height, frame.width, layout_.order};
  IPin* peer = m_pOutput->GetConnected();
  if (frame.width <= 0 || frame.height <= 0 || frame.width % 2 || frame.height % 2 || !peer ||
      decoded.ImageSize() > static_cast<size_t>(out->GetSize()))
    return;
  CMediaType type = m_pOutput->CurrentMediaType();
  if (type.FormatLength() < sizeof(VIDEOINFOHEADER)) return;
  VIDEOINFOHEADER info;
  std::memcpy(&info, type.Format(), sizeof info);
  info.rcSource = {0, 0, frame.width, frame.height};
  info.rcTarget = info.rcSource;
  info.bmiHeader.biWidth = frame.width;
  info.bmiHeader.biHeight = frame.height;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(decoded.ImageSize());
  std::memcpy(type.Format(), &info, sizeof info);
  type.SetSampleSize(info.bmiHeader.biSizeImage);
  if (peer->QueryAccept(&type) != S_OK || FAILED(out->SetMediaType(&type))) return;
  width_ = frame.width;
  height_ = frame.height;
  layout_ = decoded;
}

HRESULT RecorderVideoDecoderFilter::EndOfStream() {
  {
    CAutoLock receive(&m_csReceive);
    if (decoder_ && m_pOutput->IsConnected()) decoder_->Drain(frameHandler_);
  }
  return CTransformFilter::EndOfStream();
}

HRESULT RecorderVideoDecoderFilter::EndFlush() {
  {
    CAutoLock receive(&m_csReceive);
    if (decoder_) decoder_->Reset();
  }
  return CTransformFilter::EndFlush();
}

}  // namespace vendor
