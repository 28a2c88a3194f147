#include "AudioRenderer.h"

#include <cstring>
#include <new>

#include "SysFilterIds.h"
#include "SystemClock.h"

namespace {

constexpr LONG kSilentVolume = -10000;  // hundredths of a decibel
constexpr LONG kFullVolume = 0;
constexpr LONG kBalanceLimit = 10000;
constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;
constexpr int kBitsPerByte = 8;

}  // namespace

AudioRenderer::AudioRenderer(IUnknown* outer, HRESULT* phr)
    : CBaseRenderer(CLSID_AudioRender, "Audio Renderer", outer, phr) {
  auto* clock = new (std::nothrow) SystemClock;
  if (clock) {
    clock->NonDelegatingQueryInterface(IID_IReferenceClock, m_clock.ReleaseAndGetVoidAddress());
  }
  if (!m_clock && phr) *phr = E_OUTOFMEMORY;
}

CUnknown* AudioRenderer::CreateInstance(IUnknown* outer, HRESULT* phr) {
  return new (std::nothrow) AudioRenderer(outer, phr);
}

HRESULT AudioRenderer::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IBasicAudio) return GetInterface(static_cast<IBasicAudio*>(this), ppv);
  if (riid == IID_IReferenceClock) return GetInterface(static_cast<IReferenceClock*>(this), ppv);
  if (riid == IID_IFrameStepFollower)
    return GetInterface(static_cast<IFrameStepFollower*>(this), ppv);
  if (riid == IID_IAMFilterMiscFlags)
    return GetInterface(static_cast<IAMFilterMiscFlags*>(this), ppv);
  if (riid == IID_IRenderStatistics) return GetInterface(static_cast<IRenderStatistics*>(this), ppv);
  return CBaseRenderer::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT AudioRenderer::CheckMediaType(const CMediaType* pmt) {
  if (pmt->majortype != MEDIATYPE_Audio || pmt->subtype != MEDIASUBTYPE_PCM ||
      pmt->formattype != FORMAT_WaveFormatEx || pmt->cbFormat < sizeof(WAVEFORMATEX) ||
      !pmt->pbFormat)
    return VFW_E_TYPE_NOT_ACCEPTED;
  WAVEFORMATEX wfx;
  std::memcpy(&wfx, pmt->pbFormat, sizeof(wfx));
  const bool sane = wfx.wFormatTag == WAVE_FORMAT_PCM && wfx.nChannels > 0 &&
                    wfx.nSamplesPerSec > 0 &&
                    (wfx.wBitsPerSample == 8 || wfx.wBitsPerSample == 16) &&
                    wfx.nBlockAlign == wfx.nChannels * wfx.wBitsPerSample / kBitsPerByte &&
                    wfx.nAvgBytesPerSec == wfx.nSamplesPerSec * wfx.nBlockAlign;
  return sane ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AudioRenderer::SetMediaType(const CMediaType* pmt) {
  WAVEFORMATEX wfx;
  std::memcpy(&wfx, pmt->pbFormat, sizeof(wfx));
  std::lock_guard guard(m_audioLock);
  m_bytesPerSecond = wfx.nAvgBytesPerSec;
  return S_OK;
}

HRESULT AudioRenderer::DoRenderSample(IMediaSample* pSample) {
  m_bytesRendered += pSample->GetActualDataLength();
  m_tally.Record(pSample);
  return S_OK;
}

HRESULT AudioRenderer::Pause() {
  CAutoLock lock(&m_InterfaceLock);
  if (IsStopped()) {
    m_tally.Reset();
    m_bytesRendered = 0;
  }
  return CBaseRenderer::Pause();
}

HRESULT AudioRenderer::Run(REFERENCE_TIME tStart) {
  m_followingStep = false;
  return CBaseRenderer::Run(tStart);
}

HRESULT AudioRenderer::Stop() {
  m_followingStep = false;
  return CBaseRenderer::Stop();
}

HRESULT AudioRenderer::BeginFlush() {
  m_followingStep = false;
  return CBaseRenderer::BeginFlush();
}

HRESULT AudioRenderer::FollowFrameStep() {
  CAutoLock lock(&m_InterfaceLock);
  if (m_State != State_Paused) return VFW_E_WRONG_STATE;
  m_followingStep = true;
  ReleaseHeldSample();
  return S_OK;
}

HRESULT AudioRenderer::Receive(IMediaSample* pSample) {
  if (!m_followingStep) return CBaseRenderer::Receive(pSample);
  // Stepped past: checked like any sample, then dropped.
  return m_pInputPin->CBaseInputPin::Receive(pSample);
}

REFERENCE_TIME AudioRenderer::DurationRendered() {
  std::lock_guard guard(m_audioLock);
  if (m_bytesPerSecond == 0) return 0;
  return m_bytesRendered * kUnitsPerSecond / m_bytesPerSecond;
}

HRESULT AudioRenderer::put_Volume(LONG lVolume) {
  if (lVolume < kSilentVolume || lVolume > kFullVolume) return E_INVALIDARG;
  std::lock_guard guard(m_audioLock);
  m_volume = lVolume;
  return S_OK;
}

HRESULT AudioRenderer::get_Volume(LONG* plVolume) {
  if (!plVolume) return E_POINTER;
  std::lock_guard guard(m_audioLock);
  *plVolume = m_volume;
  return S_OK;
}

HRESULT AudioRenderer::put_Balance(LONG lBalance) {
  if (lBalance < -kBalanceLimit || lBalance > kBalanceLimit) return E_INVALIDARG;
  std::lock_guard guard(m_audioLock);
  m_balance = lBalance;
  return S_OK;
}

HRESULT AudioRenderer::get_Balance(LONG* plBalance) {
  if (!plBalance) return E_POINTER;
  std::lock_guard guard(m_audioLock);
  *plBalance = m_balance;
  return S_OK;
}

HRESULT AudioRenderer::GetTime(REFERENCE_TIME* pTime) { return m_clock->GetTime(pTime); }

HRESULT AudioRenderer::AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime,
                                  HEVENT hEvent, DWORD_PTR* pdwAdviseCookie) {
  return m_clock->AdviseTime(baseTime, streamTime, hEvent, pdwAdviseCookie);
}

HRESULT AudioRenderer::AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                                      HSEMAPHORE hSemaphore, DWORD_PTR* pdwAdviseCookie) {
  return m_clock->AdvisePeriodic(startTime, periodTime, hSemaphore, pdwAdviseCookie);
}

HRESULT AudioRenderer::Unadvise(DWORD_PTR dwAdviseCookie) {
  return m_clock->Unadvise(dwAdviseCookie);
}
