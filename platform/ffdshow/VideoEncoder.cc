#include "VideoEncoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "DebugOutput.h"
#include "FfdshowIds.h"
#include "PropertyPages.h"
#include "YuvPlanes.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/buffer.h>
}

namespace {

constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;
constexpr REFERENCE_TIME kDefaultFrameDuration = kUnitsPerSecond / 25;
constexpr LONG kOutputBuffers = 4;
// The automatic thread count. The decoder upstream already decodes its frames on the other
// cores while this thread encodes; slicing each picture over the cores as well cost about a
// fifth more processor time in hand-offs and gained no speed on a busy machine.
constexpr int kAutomaticThreads = 1;
constexpr LONG kMinOutputBuffer = 64 * 1024;
constexpr WORD kCodedBitCount = 24;      // what AVI files of this codec declare
constexpr int kBitsPerKilobit = 1000;

GUID FourCCSubtype(DWORD code) {
  GUID subtype = MEDIASUBTYPE_YV12;  // the shared FourCC pattern; only Data1 differs
  subtype.Data1 = code;
  return subtype;
}

// Frees a picture buffer the codec held: the sample goes back to its allocator.
void ReleaseSample(void* sample, uint8_t*) { static_cast<IMediaSample*>(sample)->Release(); }

// A compressed picture never needs more than the raw one plus headers.
LONG OutputBufferSize(int width, int height) {
  return std::max<LONG>(kMinOutputBuffer, static_cast<LONG>(width) * height * 3);
}

}  // namespace

VideoEncoder::VideoEncoder(IUnknown* outer)
    : CTransformFilter("ffdshow video encoder", outer, CLSID_FfdshowVideoEncoder) {}

VideoEncoder::~VideoEncoder() { FreeCodec(); }

CUnknown* VideoEncoder::CreateInstance(IUnknown* outer, HRESULT*) {
  return new (std::nothrow) VideoEncoder(outer);
}

HRESULT VideoEncoder::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_ISpecifyPropertyPages)
    return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
  return CTransformFilter::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT VideoEncoder::GetPages(CAUUID* pPages) {
  return ListOnePropertyPage(pPages, CLSID_FfdshowVideoEncoderPage);
}

HRESULT VideoEncoder::CheckInputType(const CMediaType* mtIn) {
  int width = 0;
  int height = 0;
  if (mtIn->majortype != MEDIATYPE_Video || !IsPlanarYuv420(mtIn->subtype) ||
      !VideoSizeOf(*mtIn, &width, &height))
    return VFW_E_TYPE_NOT_ACCEPTED;
  // MPEG-4 part 2 codes whole macroblocks of 4:2:0 pictures: even sizes only.
  return width % 2 == 0 && height % 2 == 0 ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT VideoEncoder::CheckTransform(const CMediaType* mtIn, const CMediaType* mtOut) {
  if (FAILED(CheckInputType(mtIn))) return VFW_E_TYPE_NOT_ACCEPTED;
  int inWidth = 0, inHeight = 0, outWidth = 0, outHeight = 0;
  if (mtOut->majortype != MEDIATYPE_Video || mtOut->formattype != FORMAT_VideoInfo ||
      !VideoSizeOf(*mtIn, &inWidth, &inHeight) || !VideoSizeOf(*mtOut, &outWidth, &outHeight))
    return VFW_E_TYPE_NOT_ACCEPTED;
  VIDEOINFOHEADER vih;
  std::memcpy(&vih, mtOut->pbFormat, sizeof(vih));
  const DWORD fourCC = VideoEncoderSettings::Load().FourCCCode();
  if (inWidth != outWidth || inHeight != outHeight || vih.bmiHeader.biCompression != fourCC ||
      mtOut->subtype != FourCCSubtype(fourCC))
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT VideoEncoder::GetMediaType(int position, CMediaType* pMediaType) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  const CMediaType& in = m_pInput->CurrentMediaType();
  int width = 0;
  int height = 0;
  if (!VideoSizeOf(in, &width, &height)) return E_UNEXPECTED;
  VIDEOINFOHEADER source;
  std::memcpy(&source, in.pbFormat, sizeof(source));
  const VideoEncoderSettings settings = VideoEncoderSettings::Load();
  const DWORD fourCC = settings.FourCCCode();
  const GUID subtype = FourCCSubtype(fourCC);
  pMediaType->InitMediaType();
  pMediaType->SetType(&MEDIATYPE_Video);
  pMediaType->SetSubtype(&subtype);
  pMediaType->SetFormatType(&FORMAT_VideoInfo);
  pMediaType->SetTemporalCompression(TRUE);
  pMediaType->SetVariableSize();
  auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(pMediaType->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
  if (!vih) return E_OUTOFMEMORY;
  vih->rcSource = source.rcSource;
  vih->rcTarget = source.rcTarget;
  vih->AvgTimePerFrame = source.AvgTimePerFrame;
  vih->dwBitRate = settings.quantizer ? 0 : settings.bitRateKbps * kBitsPerKilobit;
  vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  vih->bmiHeader.biWidth = width;
  vih->bmiHeader.biHeight = height;
  vih->bmiHeader.biPlanes = 1;
  vih->bmiHeader.biBitCount = kCodedBitCount;
  vih->bmiHeader.biCompression = fourCC;
  vih->bmiHeader.biSizeImage = static_cast<DWORD>(OutputBufferSize(width, height));
  return S_OK;
}

HRESULT VideoEncoder::DecideBufferSize(IMemAllocator* pAllocator, ALLOCATOR_PROPERTIES* pProp) {
  int width = 0;
  int height = 0;
  if (!VideoSizeOf(m_pInput->CurrentMediaType(), &width, &height)) return E_UNEXPECTED;
  const LONG size = OutputBufferSize(width, height);
  pProp->cBuffers = std::max(pProp->cBuffers, kOutputBuffers);
  pProp->cbBuffer = std::max(pProp->cbBuffer, size);
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = pAllocator->SetProperties(pProp, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer >= size ? S_OK : E_FAIL;
}

HRESULT VideoEncoder::StartStreaming() {
  FreeCodec();
  const CMediaType& in = m_pInput->CurrentMediaType();
  if (!VideoSizeOf(in, &m_width, &m_height)) return E_UNEXPECTED;
  VIDEOINFOHEADER source;
  std::memcpy(&source, in.pbFormat, sizeof(source));
  m_frameDuration = source.AvgTimePerFrame > 0 ? source.AvgTimePerFrame : kDefaultFrameDuration;
  m_nextSlot = 0;
  const VideoEncoderSettings settings = VideoEncoderSettings::Load();

  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  if (!codec || !(m_codec = avcodec_alloc_context3(codec))) return E_OUTOFMEMORY;
  m_codec->width = m_width;
  m_codec->height = m_height;
  m_codec->pix_fmt = AV_PIX_FMT_YUV420P;
  av_reduce(&m_codec->time_base.num, &m_codec->time_base.den, m_frameDuration, kUnitsPerSecond,
            UINT16_MAX);  // the codec's time resolution has 16 bits
  m_codec->framerate = av_inv_q(m_codec->time_base);
  m_codec->gop_size = static_cast<int>(settings.keyInterval);
  m_codec->max_b_frames = 0;
  m_codec->thread_count = settings.threads ? static_cast<int>(settings.threads) : kAutomaticThreads;
  m_codec->codec_tag = settings.FourCCCode();
  if (settings.quantizer) {
    m_codec->flags |= AV_CODEC_FLAG_QSCALE;
    m_codec->global_quality = FF_QP2LAMBDA * static_cast<int>(settings.quantizer);
  } else {
    m_codec->bit_rate = static_cast<int64_t>(settings.bitRateKbps) * kBitsPerKilobit;
  }
  if (avcodec_open2(m_codec, codec, nullptr) < 0) {
    OutputDebugStringA("ffdshow video encoder: the MPEG-4 encoder refused the settings\n");
    FreeCodec();
    return E_FAIL;
  }
  m_frame = av_frame_alloc();
  m_packet = av_packet_alloc();
  if (!m_frame || !m_packet) {
    FreeCodec();
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT VideoEncoder::StopStreaming() {
  FreeCodec();
  return S_OK;
}

void VideoEncoder::FreeCodec() {
  avcodec_free_context(&m_codec);
  av_frame_free(&m_frame);
  av_packet_free(&m_packet);
}

HRESULT VideoEncoder::SendPicture(IMediaSample* pSample) {
  BYTE* data = nullptr;
  if (FAILED(pSample->GetPointer(&data))) return E_POINTER;
  const size_t size = PlanarYuv420Size(m_width, m_height);
  // A short picture is dropped rather than read past its end.
  if (size == 0 || pSample->GetActualDataLength() < static_cast<LONG>(size)) {
    OutputDebugStringA("ffdshow video encoder: short picture dropped\n");
    return S_FALSE;
  }
  // The codec reads the picture where the sample holds it: it references the sample (which
  // stays out of its allocator until the codec lets go) rather than taking a copy of it.
  pSample->AddRef();
  AVBufferRef* buffer = av_buffer_create(data, size, ReleaseSample, pSample, AV_BUFFER_FLAG_READONLY);
  if (!buffer) {
    pSample->Release();
    return E_OUTOFMEMORY;
  }
  av_frame_unref(m_frame);
  m_frame->buf[0] = buffer;
  const YuvPlanes in = MapPlanarYuv420(m_pInput->CurrentMediaType().subtype, data, m_width, m_height);
  for (int plane = 0; plane < 3; ++plane) {
    m_frame->data[plane] = in.planes[plane];
    m_frame->linesize[plane] = in.strides[plane];
  }
  m_frame->format = AV_PIX_FMT_YUV420P;
  m_frame->width = m_width;
  m_frame->height = m_height;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  int64_t slot = m_nextSlot;
  if (SUCCEEDED(pSample->GetTime(&start, &stop)) && start >= 0) {
    slot = std::max(slot, (start + m_frameDuration / 2) / m_frameDuration);
  }
  m_nextSlot = slot + 1;
  m_frame->pts = slot;
  m_frame->pict_type = AV_PICTURE_TYPE_NONE;
  const int result = avcodec_send_frame(m_codec, m_frame);
  av_frame_unref(m_frame);
  return result < 0 ? E_FAIL : S_OK;
}

HRESULT VideoEncoder::DeliverPackets() {
  for (;;) {
    const int result = avcodec_receive_packet(m_codec, m_packet);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return S_OK;
    if (result < 0) return E_FAIL;
    IMediaSample* out = nullptr;
    REFERENCE_TIME start = m_packet->pts * m_frameDuration;
    REFERENCE_TIME stop = start + m_frameDuration;
    HRESULT hr = m_pOutput->GetDeliveryBuffer(&out, &start, &stop, 0);
    if (FAILED(hr)) {
      av_packet_unref(m_packet);
      return hr;
    }
    BYTE* buffer = nullptr;
    out->GetPointer(&buffer);
    if (m_packet->size <= out->GetSize()) {
      std::memcpy(buffer, m_packet->data, m_packet->size);
      out->SetActualDataLength(m_packet->size);
      out->SetTime(&start, &stop);
      out->SetSyncPoint((m_packet->flags & AV_PKT_FLAG_KEY) ? TRUE : FALSE);
      hr = m_pOutput->Deliver(out);
    } else {
      OutputDebugStringA("ffdshow video encoder: packet larger than the output buffer dropped\n");
    }
    out->Release();
    av_packet_unref(m_packet);
    if (hr != S_OK) return hr;
  }
}

HRESULT VideoEncoder::Receive(IMediaSample* pSample) {
  if (!m_pOutput->IsConnected()) return S_OK;
  if (!m_codec) return E_UNEXPECTED;
  const HRESULT hr = SendPicture(pSample);
  if (hr == S_FALSE) return S_OK;
  if (FAILED(hr)) return hr;
  return DeliverPackets();
}

HRESULT VideoEncoder::EndOfStream() {
  if (m_codec && m_pOutput->IsConnected() && avcodec_send_frame(m_codec, nullptr) == 0) {
    DeliverPackets();
  }
  return CTransformFilter::EndOfStream();
}
