#include "AudioProcessor.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "DebugOutput.h"
#include "FfdshowIds.h"
#include "PropertyPages.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;
constexpr WORD kBitsPerSample = 16;
constexpr int kBytesPerSample = 2;
constexpr int kMaxChannels = 8;
constexpr LONG kOutputBuffers = 4;
// Output buffer: what the largest expected input buffer becomes at the highest rate ratio.
constexpr LONG kMinOutputBuffer = 64 * 1024;
// Sample frames the resampler may hold back and add to one output buffer.
constexpr int kResamplerSlack = 256;

bool ReadWaveFormat(const CMediaType& mt, WAVEFORMATEX* wfx) {
  if (mt.majortype != MEDIATYPE_Audio || mt.subtype != MEDIASUBTYPE_PCM ||
      mt.formattype != FORMAT_WaveFormatEx || mt.cbFormat < sizeof(WAVEFORMATEX) || !mt.pbFormat)
    return false;
  std::memcpy(wfx, mt.pbFormat, sizeof(*wfx));
  return wfx->wFormatTag == WAVE_FORMAT_PCM && wfx->wBitsPerSample == kBitsPerSample &&
         wfx->nChannels > 0 && wfx->nChannels <= kMaxChannels && wfx->nSamplesPerSec > 0 &&
         wfx->nBlockAlign == wfx->nChannels * kBytesPerSample;
}

}  // namespace

AudioProcessor::AudioProcessor(IUnknown* outer)
    : CTransformFilter("ffdshow Audio Processor", outer, CLSID_FfdshowAudioProcessor) {}

AudioProcessor::~AudioProcessor() { swr_free(&m_resampler); }

CUnknown* AudioProcessor::CreateInstance(IUnknown* outer, HRESULT*) {
  return new (std::nothrow) AudioProcessor(outer);
}

HRESULT AudioProcessor::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_ISpecifyPropertyPages)
    return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
  return CTransformFilter::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT AudioProcessor::GetPages(CAUUID* pPages) {
  return ListOnePropertyPage(pPages, CLSID_FfdshowAudioProcessorPage);
}

HRESULT AudioProcessor::CheckInputType(const CMediaType* mtIn) {
  WAVEFORMATEX wfx;
  return ReadWaveFormat(*mtIn, &wfx) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

DWORD AudioProcessor::OutputRate() const {
  WAVEFORMATEX wfx;
  if (!ReadWaveFormat(m_pInput->CurrentMediaType(), &wfx)) return 0;
  const DWORD setting = AudioProcessorSettings::Load().resampleRate;
  return setting ? setting : wfx.nSamplesPerSec;
}

HRESULT AudioProcessor::CheckTransform(const CMediaType* mtIn, const CMediaType* mtOut) {
  WAVEFORMATEX in;
  WAVEFORMATEX out;
  if (!ReadWaveFormat(*mtIn, &in) || !ReadWaveFormat(*mtOut, &out)) return VFW_E_TYPE_NOT_ACCEPTED;
  const DWORD setting = AudioProcessorSettings::Load().resampleRate;
  const DWORD rate = setting ? setting : in.nSamplesPerSec;
  return out.nChannels == in.nChannels && out.nSamplesPerSec == rate ? S_OK
                                                                      : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AudioProcessor::GetMediaType(int position, CMediaType* pMediaType) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  WAVEFORMATEX wfx;
  if (!ReadWaveFormat(m_pInput->CurrentMediaType(), &wfx)) return E_UNEXPECTED;
  wfx.nSamplesPerSec = OutputRate();
  wfx.nAvgBytesPerSec = wfx.nSamplesPerSec * wfx.nBlockAlign;
  wfx.cbSize = 0;
  pMediaType->InitMediaType();
  pMediaType->SetType(&MEDIATYPE_Audio);
  pMediaType->SetSubtype(&MEDIASUBTYPE_PCM);
  pMediaType->SetFormatType(&FORMAT_WaveFormatEx);
  pMediaType->SetSampleSize(wfx.nBlockAlign);
  if (!pMediaType->SetFormat(reinterpret_cast<const BYTE*>(&wfx), sizeof(wfx))) return E_OUTOFMEMORY;
  return S_OK;
}

HRESULT AudioProcessor::DecideBufferSize(IMemAllocator* pAllocator, ALLOCATOR_PROPERTIES* pProp) {
  WAVEFORMATEX in;
  if (!ReadWaveFormat(m_pInput->CurrentMediaType(), &in)) return E_UNEXPECTED;
  // The input's buffers, as the allocator upstream agreed them.
  LONG inputBuffer = kMinOutputBuffer;
  IMemAllocator* inputAllocator = nullptr;
  if (SUCCEEDED(m_pInput->GetAllocator(&inputAllocator))) {
    ALLOCATOR_PROPERTIES upstream{};
    if (SUCCEEDED(inputAllocator->GetProperties(&upstream)))
      inputBuffer = std::max(inputBuffer, upstream.cbBuffer);
    inputAllocator->Release();
  }
  // Room for one input buffer at the output rate, plus what the resampler holds back.
  const int64_t scaled = static_cast<int64_t>(inputBuffer) * OutputRate() / in.nSamplesPerSec +
                         static_cast<int64_t>(kResamplerSlack) * in.nBlockAlign;
  const LONG size = static_cast<LONG>(std::min<int64_t>(scaled, INT32_MAX));
  pProp->cBuffers = std::max(pProp->cBuffers, kOutputBuffers);
  pProp->cbBuffer = std::max(pProp->cbBuffer, size);
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = pAllocator->SetProperties(pProp, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer >= size ? S_OK : E_FAIL;
}

HRESULT AudioProcessor::StartStreaming() {
  swr_free(&m_resampler);
  WAVEFORMATEX in;
  if (!ReadWaveFormat(m_pInput->CurrentMediaType(), &in)) return E_UNEXPECTED;
  WAVEFORMATEX out;
  if (!ReadWaveFormat(m_pOutput->CurrentMediaType(), &out)) return E_UNEXPECTED;
  m_channels = in.nChannels;
  m_inRate = static_cast<int>(in.nSamplesPerSec);
  m_outRate = static_cast<int>(out.nSamplesPerSec);
  m_framesOut = 0;
  m_firstStart = -1;
  if (m_inRate == m_outRate) return S_OK;
  AVChannelLayout layout;
  av_channel_layout_default(&layout, m_channels);
  const int result = swr_alloc_set_opts2(&m_resampler, &layout, AV_SAMPLE_FMT_S16, m_outRate,
                                         &layout, AV_SAMPLE_FMT_S16, m_inRate, 0, nullptr);
  av_channel_layout_uninit(&layout);
  if (result < 0 || swr_init(m_resampler) < 0) {
    swr_free(&m_resampler);
    return E_FAIL;
  }
  return S_OK;
}

HRESULT AudioProcessor::StopStreaming() {
  swr_free(&m_resampler);
  return S_OK;
}

HRESULT AudioProcessor::Transform(IMediaSample* pIn, IMediaSample* pOut) {
  if (m_resampler) return Resample(pIn, pOut);
  BYTE* src = nullptr;
  BYTE* dst = nullptr;
  if (FAILED(pIn->GetPointer(&src)) || FAILED(pOut->GetPointer(&dst))) return E_POINTER;
  const LONG length = pIn->GetActualDataLength();
  if (length > pOut->GetSize()) return E_UNEXPECTED;
  std::memcpy(dst, src, length);
  pOut->SetActualDataLength(length);
  return S_OK;
}

void AudioProcessor::StampResampled(IMediaSample* pOut, int frames) {
  REFERENCE_TIME start = m_firstStart + m_framesOut * kUnitsPerSecond / m_outRate;
  m_framesOut += frames;
  REFERENCE_TIME stop = m_firstStart + m_framesOut * kUnitsPerSecond / m_outRate;
  pOut->SetTime(&start, &stop);
  pOut->SetMediaTime(nullptr, nullptr);
}

HRESULT AudioProcessor::Resample(IMediaSample* pIn, IMediaSample* pOut) {
  BYTE* src = nullptr;
  BYTE* dst = nullptr;
  if (FAILED(pIn->GetPointer(&src)) || FAILED(pOut->GetPointer(&dst))) return E_POINTER;
  const int blockAlign = m_channels * kBytesPerSample;
  const int inFrames = pIn->GetActualDataLength() / blockAlign;
  const int capacity = pOut->GetSize() / blockAlign;
  if (m_firstStart < 0) {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    m_firstStart = SUCCEEDED(pIn->GetTime(&start, &stop)) ? start : 0;
  }
  const uint8_t* in[1] = {src};
  uint8_t* out[1] = {dst};
  const int frames = swr_convert(m_resampler, out, capacity, in, inFrames);
  if (frames < 0) return E_FAIL;
  if (frames == 0) return S_FALSE;
  pOut->SetActualDataLength(frames * blockAlign);
  StampResampled(pOut, frames);
  return S_OK;
}

HRESULT AudioProcessor::EndOfStream() {
  // What the resampler still holds goes out before the end of the stream.
  if (m_resampler && m_pOutput->IsConnected() && m_firstStart >= 0) {
    IMediaSample* out = nullptr;
    if (SUCCEEDED(m_pOutput->GetDeliveryBuffer(&out, nullptr, nullptr, 0))) {
      BYTE* dst = nullptr;
      out->GetPointer(&dst);
      const int blockAlign = m_channels * kBytesPerSample;
      uint8_t* planes[1] = {dst};
      const int frames = swr_convert(m_resampler, planes, out->GetSize() / blockAlign, nullptr, 0);
      if (frames > 0) {
        out->SetActualDataLength(frames * blockAlign);
        StampResampled(out, frames);
        m_pOutput->Deliver(out);
      }
      out->Release();
    }
  }
  return CTransformFilter::EndOfStream();
}
