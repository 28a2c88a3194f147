#include "Renderer.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

constexpr char16_t kInputName[] = u"In";
// Longest single sleep while waiting for a sample's time: the clock is asked again after it,
// so a clock that is moved or replaced is followed.
constexpr REFERENCE_TIME kMaxWaitSlice = 100 * 10000;  // 100 ms in 100 ns units
constexpr REFERENCE_TIME kUnitsPerMicrosecond = 10;
// How long a held paused sample may take to be let go (its Receive only has to return).
constexpr auto kReleaseHeldTimeout = std::chrono::seconds(2);
constexpr auto kReleaseHeldPoll = std::chrono::milliseconds(1);

}  // namespace

CRendererInputPin::CRendererInputPin(CBaseRenderer* renderer, HRESULT* phr, LPCWSTR name)
    : CBaseInputPin("Renderer input pin", renderer, renderer->pStateLock(), phr, name),
      m_pRenderer(renderer) {}

HRESULT CRendererInputPin::Receive(IMediaSample* pSample) { return m_pRenderer->Receive(pSample); }

HRESULT CRendererInputPin::EndOfStream() {
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  return m_pRenderer->EndOfStream();
}

HRESULT CRendererInputPin::BeginFlush() {
  CAutoLock lock(m_pLock);
  CBaseInputPin::BeginFlush();
  return m_pRenderer->BeginFlush();
}

HRESULT CRendererInputPin::EndFlush() {
  CAutoLock lock(m_pLock);
  const HRESULT hr = m_pRenderer->EndFlush();
  if (FAILED(hr)) return hr;
  return CBaseInputPin::EndFlush();
}

HRESULT CRendererInputPin::CheckMediaType(const CMediaType* pmt) {
  if (!pmt) return E_POINTER;
  return m_pRenderer->CheckMediaType(pmt);
}

HRESULT CRendererInputPin::SetMediaType(const CMediaType* pmt) {
  const HRESULT hr = CBaseInputPin::SetMediaType(pmt);
  if (FAILED(hr)) return hr;
  return m_pRenderer->SetMediaType(pmt);
}

HRESULT CRendererInputPin::CompleteConnect(IPin* pReceivePin) {
  const HRESULT hr = m_pRenderer->CompleteConnect(pReceivePin);
  if (FAILED(hr)) return hr;
  return CBaseInputPin::CompleteConnect(pReceivePin);
}

HRESULT CRendererInputPin::BreakConnect() {
  m_pRenderer->BreakConnect();
  return CBaseInputPin::BreakConnect();
}

CRenderedInputPin::CRenderedInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock,
                                     HRESULT* phr, LPCWSTR name)
    : CBaseInputPin(objectName, filter, lock, phr, name) {}

HRESULT CRenderedInputPin::EndOfStream() {
  CAutoLock lock(m_pLock);
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  m_bAtEndOfStream = true;
  FILTER_STATE state = State_Stopped;
  m_pFilter->GetState(0, &state);
  if (state == State_Running) DoCompleteHandling();
  return S_OK;
}

HRESULT CRenderedInputPin::EndFlush() {
  CAutoLock lock(m_pLock);
  m_bAtEndOfStream = false;
  m_bCompleteNotified = false;
  return CBaseInputPin::EndFlush();
}

HRESULT CRenderedInputPin::Active() {
  m_bAtEndOfStream = false;
  m_bCompleteNotified = false;
  return CBaseInputPin::Active();
}

HRESULT CRenderedInputPin::Run(REFERENCE_TIME tStart) {
  m_bCompleteNotified = false;
  if (m_bAtEndOfStream) DoCompleteHandling();
  return CBaseInputPin::Run(tStart);
}

void CRenderedInputPin::DoCompleteHandling() {
  if (m_bCompleteNotified.exchange(true)) return;
  m_pFilter->NotifyEvent(EC_COMPLETE, S_OK, 0);
}

CBaseRenderer::CBaseRenderer(REFCLSID clsid, const char* name, IUnknown* outer, HRESULT*)
    : CBaseFilter(name, outer, &m_InterfaceLock, clsid) {}

CBaseRenderer::~CBaseRenderer() {
  if (m_pPosition) m_pPosition->Release();
  delete m_pInputPin;
}

HRESULT CBaseRenderer::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid != IID_IMediaSeeking && riid != IID_IMediaPosition) {
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
  }
  if (!ppv) return E_POINTER;
  CAutoLock lock(&m_InterfaceLock);
  if (!m_pPosition) {
    CBasePin* input = GetPin(0);
    if (!input) return E_OUTOFMEMORY;
    HRESULT hr = S_OK;
    auto* position = new CRendererPosPassThru("Renderer Seeking Pass Thru", GetOwner(), &hr, input);
    position->NonDelegatingQueryInterface(IID_IUnknown, reinterpret_cast<void**>(&m_pPosition));
    m_pRendererPosition = position;
  }
  return m_pPosition->QueryInterface(riid, ppv);
}

CBasePin* CBaseRenderer::GetPin(int n) {
  if (n != 0) return nullptr;
  CAutoLock lock(&m_InterfaceLock);
  if (!m_pInputPin) {
    HRESULT hr = S_OK;
    m_pInputPin = new CRendererInputPin(this, &hr, kInputName);
    if (FAILED(hr)) {
      delete m_pInputPin;
      m_pInputPin = nullptr;
    }
    IncrementPinVersion();
  }
  return m_pInputPin;
}

void CBaseRenderer::WakeStreaming() {
  // Taking the lock orders the state change before any waiter's next look at it.
  { std::lock_guard guard(m_sampleLock); }
  m_wake.notify_all();
}

void CBaseRenderer::DeliverCompletionIfDue() {
  {
    std::lock_guard guard(m_sampleLock);
    if (!m_bEOS || m_bEOSDelivered || m_State != State_Running) return;
    m_bEOSDelivered = true;
  }
  NotifyEvent(EC_COMPLETE, S_OK, 0);
}

HRESULT CBaseRenderer::Stop() {
  CAutoLock lock(&m_InterfaceLock);
  const bool wasActive = IsActive();
  const HRESULT hr = CBaseFilter::Stop();
  {
    std::lock_guard guard(m_sampleLock);
    m_bEOS = false;
    m_bEOSDelivered = false;
  }
  m_wake.notify_all();
  m_evComplete.Set();
  if (CRendererPosPassThru* position = m_pRendererPosition) position->ResetMediaTime();
  if (wasActive) OnStopStreaming();
  return hr;
}

HRESULT CBaseRenderer::Pause() {
  CAutoLock lock(&m_InterfaceLock);
  const bool fromStopped = IsStopped();
  if (fromStopped) {
    const HRESULT hr = OnStartStreaming();
    if (FAILED(hr)) return hr;
  }
  const HRESULT hr = CBaseFilter::Pause();
  if (FAILED(hr)) return hr;
  {
    // A pause is complete once something has arrived, or at once without an input.
    std::lock_guard guard(m_sampleLock);
    const bool connected = m_pInputPin && m_pInputPin->IsConnected();
    if (!connected || m_bHaveSample || m_bEOS) {
      m_evComplete.Set();
    } else {
      m_evComplete.Reset();
    }
  }
  WakeStreaming();
  return S_OK;
}

HRESULT CBaseRenderer::Run(REFERENCE_TIME tStart) {
  CAutoLock lock(&m_InterfaceLock);
  const HRESULT hr = CBaseFilter::Run(tStart);
  if (FAILED(hr)) return hr;
  m_evComplete.Set();
  WakeStreaming();
  DeliverCompletionIfDue();
  return S_OK;
}

HRESULT CBaseRenderer::GetState(DWORD dwMSecs, FILTER_STATE* State) {
  if (!State) return E_POINTER;
  if (m_State == State_Paused && !m_evComplete.Wait(dwMSecs)) {
    *State = State_Paused;
    return VFW_S_STATE_INTERMEDIATE;
  }
  *State = m_State;
  return S_OK;
}

HRESULT CBaseRenderer::Receive(IMediaSample* pSample) {
  HRESULT hr = m_pInputPin->CBaseInputPin::Receive(pSample);
  if (hr != S_OK) return hr;
  {
    std::lock_guard guard(m_sampleLock);
    if (m_bEOS) return VFW_E_SAMPLE_REJECTED_EOS;
    m_bHaveSample = true;
  }
  if (m_State == State_Paused) {
    OnReceiveFirstSample(pSample);
    m_evComplete.Set();
  }
  hr = WaitForRenderTime(pSample);
  if (hr == S_OK) {
    if (CRendererPosPassThru* position = m_pRendererPosition) position->RegisterMediaTime(pSample);
    hr = DoRenderSample(pSample);
  }
  {
    std::lock_guard guard(m_sampleLock);
    m_bHaveSample = false;
  }
  // A wait abandoned by Stop or a flush is not an error for the sender.
  return hr == S_FALSE ? S_OK : hr;
}

HRESULT CBaseRenderer::WaitForRenderTime(IMediaSample* pSample) {
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  const bool timed = SUCCEEDED(pSample->GetTime(&start, &stop));
  IReferenceClock* clock = timed ? AddRefClock() : nullptr;
  HRESULT result = S_OK;
  std::unique_lock guard(m_sampleLock);
  for (;;) {
    if (m_bAbort || m_State == State_Stopped) {
      result = S_FALSE;
      break;
    }
    if (m_State == State_Paused) {
      m_wake.wait(guard);
      continue;
    }
    if (!clock) break;
    // The clock is asked without the lock held; the state is looked at again afterwards.
    guard.unlock();
    REFERENCE_TIME now = 0;
    const HRESULT clockResult = clock->GetTime(&now);
    guard.lock();
    if (m_bAbort || m_State != State_Running) continue;
    const REFERENCE_TIME due = StartTime() + start;
    if (FAILED(clockResult) || now >= due) break;
    const REFERENCE_TIME wait = std::min(due - now, kMaxWaitSlice);
    m_wake.wait_for(guard, std::chrono::microseconds(wait / kUnitsPerMicrosecond + 1));
  }
  guard.unlock();
  if (clock) clock->Release();
  return result;
}

void CBaseRenderer::ReleaseHeldSample() {
  {
    std::lock_guard guard(m_sampleLock);
    if (!m_bHaveSample) return;
    m_bAbort = true;
  }
  m_wake.notify_all();
  const auto deadline = std::chrono::steady_clock::now() + kReleaseHeldTimeout;
  for (;;) {
    {
      std::lock_guard guard(m_sampleLock);
      if (!m_bHaveSample || std::chrono::steady_clock::now() >= deadline) {
        m_bAbort = false;
        return;
      }
    }
    std::this_thread::sleep_for(kReleaseHeldPoll);
  }
}

HRESULT CBaseRenderer::EndOfStream() {
  {
    std::lock_guard guard(m_sampleLock);
    if (m_bEOS) return S_OK;
    m_bEOS = true;
  }
  m_evComplete.Set();
  DeliverCompletionIfDue();
  return S_OK;
}

HRESULT CBaseRenderer::BeginFlush() {
  {
    std::lock_guard guard(m_sampleLock);
    m_bAbort = true;
  }
  m_wake.notify_all();
  return S_OK;
}

HRESULT CBaseRenderer::EndFlush() {
  std::lock_guard guard(m_sampleLock);
  m_bAbort = false;
  m_bEOS = false;
  m_bEOSDelivered = false;
  // A paused renderer needs a new sample after a flush to complete its pause.
  if (m_State == State_Paused && !m_bHaveSample) m_evComplete.Reset();
  return S_OK;
}
