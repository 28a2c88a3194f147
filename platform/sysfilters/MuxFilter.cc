#include "MuxFilter.h"

#include <new>

#include "ByteDelivery.h"
#include "DebugOutput.h"
#include "MuxPins.h"
#include "Seeking.h"

namespace {

// The time muxed so far as the seeking position; everything else goes upstream.
class MuxSeeking final : public CPosPassThru {
 public:
  MuxSeeking(IUnknown* outer, HRESULT* phr, IPin* firstInput, MuxFilter* mux)
      : CPosPassThru("Mux seeking", outer, phr, firstInput), m_pMux(mux) {}

 protected:
  HRESULT GetMediaTime(LONGLONG* pStartTime, LONGLONG* pEndTime) override {
    *pStartTime = m_pMux->MuxedTime();
    if (pEndTime) *pEndTime = *pStartTime;
    return S_OK;
  }

 private:
  MuxFilter* const m_pMux;
};

}  // namespace

MuxFilter::MuxFilter(const char* name, IUnknown* outer, REFCLSID clsid,
                     const MuxOutputInfo& output)
    : CBaseFilter(name, outer, &m_lock, clsid) {
  HRESULT hr = S_OK;
  m_pOutput = new (std::nothrow) MuxOutputPin(this, &m_lock, &hr, output);
}

MuxFilter::~MuxFilter() {
  if (m_pPosition) m_pPosition->Release();
  for (MuxInputPin* pin : m_inputs) delete pin;
  delete m_pOutput;
}

bool MuxFilter::AddInput(MuxInputPin* pin) {
  if (!pin) return false;
  CAutoLock lock(&m_lock);
  m_inputs.push_back(pin);
  IncrementPinVersion();
  return true;
}

bool MuxFilter::HasPins(size_t inputs) {
  CAutoLock lock(&m_lock);
  return m_pOutput && m_inputs.size() >= inputs;
}

HRESULT MuxFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IMediaSeeking || riid == IID_IMediaPosition) {
    if (!ppv) return E_POINTER;
    CAutoLock lock(&m_lock);
    if (!m_pPosition) {
      if (m_inputs.empty()) return E_NOINTERFACE;
      HRESULT hr = S_OK;
      auto* seeking = new (std::nothrow) MuxSeeking(GetOwner(), &hr, m_inputs.front(), this);
      if (!seeking) return E_OUTOFMEMORY;
      seeking->NonDelegatingQueryInterface(IID_IUnknown, reinterpret_cast<void**>(&m_pPosition));
    }
    return m_pPosition->QueryInterface(riid, ppv);
  }
  return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

int MuxFilter::GetPinCount() {
  CAutoLock lock(&m_lock);
  return static_cast<int>(m_inputs.size()) + 1;
}

CBasePin* MuxFilter::GetPin(int n) {
  CAutoLock lock(&m_lock);
  const int inputs = static_cast<int>(m_inputs.size());
  if (n >= 0 && n < inputs) return m_inputs[n];
  return n == inputs ? m_pOutput : nullptr;
}

HRESULT MuxFilter::Pause() {
  CAutoLock lock(&m_lock);
  if (IsStopped()) {
    std::lock_guard guard(m_muxLock);
    m_error = S_OK;
    const HRESULT hr = PrepareLocked();
    if (FAILED(hr)) return hr;
  }
  return CBaseFilter::Pause();
}

HRESULT MuxFilter::Stop() {
  CAutoLock lock(&m_lock);
  if (!IsStopped() && m_pOutput->IsConnected()) {
    std::lock_guard guard(m_muxLock);
    ConcludeLocked();
  }
  return CBaseFilter::Stop();
}

HRESULT MuxFilter::FailLocked(HRESULT hr, const char* what) {
  m_error = hr;
  OutputDebugStringA(what);
  NotifyEvent(EC_ERRORABORT, hr, 0);
  return hr;
}

HRESULT MuxFilter::WriteAt(int64_t position, const uint8_t* data, int length) {
  return DeliverBytesAt(*m_pOutput, position, data, length);
}
