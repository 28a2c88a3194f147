#include "AviMux.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "AviMuxPins.h"
#include "DebugOutput.h"
#include "Seeking.h"
#include "SysFilterIds.h"
#include "WideString.h"

namespace {

// The time muxed so far as the seeking position; everything else goes upstream.
class AviMuxSeeking final : public CPosPassThru {
 public:
  AviMuxSeeking(IUnknown* outer, HRESULT* phr, IPin* firstInput, AviMux* mux)
      : CPosPassThru("AVI Mux seeking", outer, phr, firstInput), m_pMux(mux) {}

 protected:
  HRESULT GetMediaTime(LONGLONG* pStartTime, LONGLONG* pEndTime) override {
    *pStartTime = m_pMux->MuxedTime();
    if (pEndTime) *pEndTime = *pStartTime;
    return S_OK;
  }

 private:
  AviMux* const m_pMux;
};

std::u16string InputName(size_t index) {
  char name[32];
  std::snprintf(name, sizeof(name), "Input %02zu", index + 1);
  return Utf8ToWide(name);
}

}  // namespace

AviMux::AviMux(IUnknown* outer) : CBaseFilter("AVI Mux", outer, &m_lock, CLSID_AviDest) {
  HRESULT hr = S_OK;
  m_pOutput = new (std::nothrow) AviMuxOutputPin(this, &m_lock, &hr);
  InputConnected();  // makes the first free input
}

AviMux::~AviMux() {
  if (m_pPosition) m_pPosition->Release();
  for (AviMuxInputPin* pin : m_inputs) delete pin;
  delete m_pOutput;
}

CUnknown* AviMux::CreateInstance(IUnknown* outer, HRESULT* phr) {
  auto* mux = new (std::nothrow) AviMux(outer);
  if (mux && (!mux->m_pOutput || mux->m_inputs.empty())) *phr = E_OUTOFMEMORY;
  return mux;
}

HRESULT AviMux::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IMediaSeeking || riid == IID_IMediaPosition) {
    if (!ppv) return E_POINTER;
    CAutoLock lock(&m_lock);
    if (!m_pPosition) {
      HRESULT hr = S_OK;
      auto* seeking = new (std::nothrow) AviMuxSeeking(GetOwner(), &hr, m_inputs.front(), this);
      if (!seeking) return E_OUTOFMEMORY;
      seeking->NonDelegatingQueryInterface(IID_IUnknown, reinterpret_cast<void**>(&m_pPosition));
    }
    return m_pPosition->QueryInterface(riid, ppv);
  }
  return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

int AviMux::GetPinCount() {
  CAutoLock lock(&m_lock);
  return static_cast<int>(m_inputs.size()) + 1;
}

CBasePin* AviMux::GetPin(int n) {
  CAutoLock lock(&m_lock);
  const int inputs = static_cast<int>(m_inputs.size());
  if (n >= 0 && n < inputs) return m_inputs[n];
  return n == inputs ? m_pOutput : nullptr;
}

void AviMux::InputConnected() {
  CAutoLock lock(&m_lock);
  const bool haveFree = std::any_of(m_inputs.begin(), m_inputs.end(),
                                    [](AviMuxInputPin* pin) { return !pin->IsConnected(); });
  if (haveFree) return;
  HRESULT hr = S_OK;
  const std::u16string name = InputName(m_inputs.size());
  auto* pin = new (std::nothrow) AviMuxInputPin(this, &m_lock, &hr, name.c_str());
  if (!pin) return;
  m_inputs.push_back(pin);
  IncrementPinVersion();
}

HRESULT AviMux::Pause() {
  CAutoLock lock(&m_lock);
  if (IsStopped()) {
    std::lock_guard guard(m_muxLock);
    m_writer.Reset();
    m_states.clear();
    m_error = S_OK;
    for (AviMuxInputPin* pin : m_inputs) {
      if (!pin->IsConnected()) continue;
      const int stream = m_writer.AddStream(pin->CurrentMediaType());
      if (stream < 0) return VFW_E_TYPE_NOT_ACCEPTED;
      m_states.push_back(InputState{pin, stream, false, 0});
    }
  }
  return CBaseFilter::Pause();
}

HRESULT AviMux::Stop() {
  CAutoLock lock(&m_lock);
  if (!IsStopped() && m_pOutput->IsConnected()) {
    // Finish what was muxed while the output can still deliver; a run that muxed nothing still
    // leaves a valid (empty) file.
    std::lock_guard guard(m_muxLock);
    if (SUCCEEDED(m_error) && !m_states.empty() && !m_writer.Begun()) BeginLocked();
    if (m_writer.Begun() && !m_writer.Finished()) FinishLocked();
  }
  return CBaseFilter::Stop();
}

REFERENCE_TIME AviMux::MuxedTime() {
  std::lock_guard guard(m_muxLock);
  REFERENCE_TIME furthest = 0;
  REFERENCE_TIME leastActive = INT64_MAX;
  for (const InputState& state : m_states) {
    furthest = std::max(furthest, state.reached);
    if (!state.ended) leastActive = std::min(leastActive, state.reached);
  }
  return leastActive == INT64_MAX ? furthest : leastActive;
}

AviMux::InputState* AviMux::StateOfLocked(AviMuxInputPin* pin) {
  for (InputState& state : m_states) {
    if (state.pin == pin) return &state;
  }
  return nullptr;
}

HRESULT AviMux::BeginLocked() {
  const HRESULT hr = m_writer.Begin();
  if (FAILED(hr)) {
    m_error = hr;
    OutputDebugStringA("AVI Mux: the AVI header could not be written\n");
    NotifyEvent(EC_ERRORABORT, hr, 0);
  }
  return hr;
}

HRESULT AviMux::FinishLocked() {
  const HRESULT hr = m_writer.Finish();
  if (FAILED(hr)) {
    m_error = hr;
    OutputDebugStringA("AVI Mux: the AVI index could not be written\n");
    NotifyEvent(EC_ERRORABORT, hr, 0);
  }
  return hr;
}

HRESULT AviMux::Receive(AviMuxInputPin* pin, IMediaSample* sample) {
  std::lock_guard guard(m_muxLock);
  if (FAILED(m_error)) return m_error;
  InputState* state = StateOfLocked(pin);
  if (!state || state->ended || m_writer.Finished()) return S_FALSE;
  if (!m_writer.Begun() && FAILED(BeginLocked())) return m_error;
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data))) return E_POINTER;
  REFERENCE_TIME start = -1;
  REFERENCE_TIME stop = -1;
  const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
  const HRESULT hr = m_writer.WritePacket(state->stream, data, sample->GetActualDataLength(),
                                          timed ? start : -1, sample->IsSyncPoint() == S_OK);
  if (FAILED(hr)) {
    m_error = hr;
    NotifyEvent(EC_ERRORABORT, hr, 0);
    return hr;
  }
  if (timed) state->reached = std::max(state->reached, std::max(start, stop));
  return S_OK;
}

HRESULT AviMux::EndOfStream(AviMuxInputPin* pin) {
  {
    std::lock_guard guard(m_muxLock);
    InputState* state = StateOfLocked(pin);
    if (!state || state->ended) return S_OK;
    state->ended = true;
    const bool allEnded = std::all_of(m_states.begin(), m_states.end(),
                                      [](const InputState& s) { return s.ended; });
    if (!allEnded || m_writer.Finished()) return S_OK;
    if (SUCCEEDED(m_error) && !m_writer.Begun()) BeginLocked();
    if (SUCCEEDED(m_error)) FinishLocked();
    // A file without its index or header is no complete file: the abort already went to the
    // graph, and an end of stream would have the sink report completion after it.
    if (FAILED(m_error)) return m_error;
  }
  return m_pOutput->DeliverEndOfStream();
}

HRESULT AviMux::WriteAt(int64_t position, const uint8_t* data, int length) {
  while (length > 0) {
    IMediaSample* sample = nullptr;
    HRESULT hr = m_pOutput->GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    const int chunk = std::min(length, static_cast<int>(sample->GetSize()));
    std::memcpy(buffer, data, chunk);
    sample->SetActualDataLength(chunk);
    REFERENCE_TIME start = position;
    REFERENCE_TIME stop = position + chunk;
    sample->SetTime(&start, &stop);
    hr = m_pOutput->Deliver(sample);
    sample->Release();
    if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;
    position += chunk;
    data += chunk;
    length -= chunk;
  }
  return S_OK;
}
