#include "AviMux.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "AviMuxPins.h"
#include "DebugOutput.h"
#include "SysFilterIds.h"
#include "WideString.h"

namespace {

constexpr char16_t kOutputName[] = u"AVI Out";
const MuxOutputInfo kOutput{"AVI Mux output", kOutputName, &MEDIASUBTYPE_Avi};

std::u16string InputName(size_t index) {
  char name[32];
  std::snprintf(name, sizeof(name), "Input %02zu", index + 1);
  return Utf8ToWide(name);
}

}  // namespace

AviMux::AviMux(IUnknown* outer) : MuxFilter("AVI Mux", outer, CLSID_AviDest, kOutput) {
  InputConnected();  // makes the first free input
}

CUnknown* AviMux::CreateInstance(IUnknown* outer, HRESULT* phr) {
  auto* mux = new (std::nothrow) AviMux(outer);
  if (mux && !mux->HasPins(1)) *phr = E_OUTOFMEMORY;
  return mux;
}

void AviMux::InputConnected() {
  CAutoLock lock(&m_lock);
  const std::vector<MuxInputPin*>& inputs = InputsLocked();
  const bool haveFree = std::any_of(inputs.begin(), inputs.end(),
                                    [](MuxInputPin* pin) { return !pin->IsConnected(); });
  if (haveFree) return;
  HRESULT hr = S_OK;
  const std::u16string name = InputName(inputs.size());
  AddInput(new (std::nothrow) AviMuxInputPin(this, &m_lock, &hr, name.c_str()));
}

HRESULT AviMux::PrepareLocked() {
  m_writer.Reset();
  m_states.clear();
  for (MuxInputPin* pin : InputsLocked()) {
    if (!pin->IsConnected()) continue;
    const int stream = m_writer.AddStream(pin->CurrentMediaType());
    if (stream < 0) return VFW_E_TYPE_NOT_ACCEPTED;
    m_states.push_back(InputState{pin, stream, false, 0});
  }
  return S_OK;
}

void AviMux::ConcludeLocked() {
  // A run that muxed nothing still leaves a valid (empty) file.
  if (SUCCEEDED(m_error) && !m_states.empty() && !m_writer.Begun()) BeginLocked();
  if (m_writer.Begun() && !m_writer.Finished()) FinishLocked();
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

AviMux::InputState* AviMux::StateOfLocked(MuxInputPin* pin) {
  for (InputState& state : m_states) {
    if (state.pin == pin) return &state;
  }
  return nullptr;
}

HRESULT AviMux::BeginLocked() {
  const HRESULT hr = m_writer.Begin();
  return FAILED(hr) ? FailLocked(hr, "AVI Mux: the AVI header could not be written\n") : hr;
}

HRESULT AviMux::FinishLocked() {
  const HRESULT hr = m_writer.Finish();
  return FAILED(hr) ? FailLocked(hr, "AVI Mux: the AVI index could not be written\n") : hr;
}

HRESULT AviMux::Receive(MuxInputPin* pin, IMediaSample* sample) {
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
  if (FAILED(hr)) return FailLocked(hr, "AVI Mux: a chunk could not be written\n");
  if (timed) state->reached = std::max(state->reached, std::max(start, stop));
  return S_OK;
}

HRESULT AviMux::EndOfStream(MuxInputPin* pin) {
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
  return Output()->DeliverEndOfStream();
}
