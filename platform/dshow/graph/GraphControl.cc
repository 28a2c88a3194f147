// FilterGraph: running, pausing and stopping every filter, renderers and sinks first so that
// no filter delivers to one that is not yet ready (or already stopped), and the reference clock.
#include <algorithm>
#include <functional>

#include "FilterGraph.h"
#include "PinUtil.h"
#include "SystemClock.h"

namespace {

// Stream time 0 lies this far after the moment Run is called, so every filter has started
// before the first sample is due.
constexpr REFERENCE_TIME kRunStartDelay = 100000;  // 10 ms

}  // namespace

std::vector<ComPtr<IBaseFilter>> FilterGraph::StateOrderLocked() const {
  std::vector<ComPtr<IBaseFilter>> order;
  std::vector<IBaseFilter*> visited;
  std::function<void(IBaseFilter*)> visit = [&](IBaseFilter* filter) {
    if (std::find(visited.begin(), visited.end(), filter) != visited.end()) return;
    visited.push_back(filter);
    for (const auto& next : DownstreamFilters(filter)) {
      if (ContainsLocked(next.Get())) visit(next.Get());
    }
    order.push_back(ComPtr<IBaseFilter>(filter));  // after everything downstream of it
  };
  for (const Member& m : m_members) visit(m.filter.Get());
  return order;
}

void FilterGraph::ChooseClockLocked() {
  if (m_clockFromApplication) return;
  ComPtr<IReferenceClock> clock;
  for (const Member& m : m_members) {
    if (SUCCEEDED(m.filter.As(clock))) break;
  }
  if (!clock) {
    const bool wanted = std::any_of(m_members.begin(), m_members.end(),
                                    [](const Member& m) { return AsksForClock(m.filter.Get()); });
    // Without a renderer to pace it the graph runs without a clock, as fast as data flows.
    auto* system = wanted ? new (std::nothrow) SystemClock : nullptr;
    if (system)
      system->NonDelegatingQueryInterface(IID_IReferenceClock, clock.ReleaseAndGetVoidAddress());
  }
  m_clock = clock;
  for (const Member& m : m_members) m.filter->SetSyncSource(m_clock.Get());
}

void FilterGraph::PrepareRendererPositionsLocked() {
  // A renderer makes its seeking object on first request and only then records the times of
  // the samples it renders; asking now lets GetCurrentPosition report them from the start.
  for (const Member& m : m_members) {
    ComPtr<IMediaSeeking> seeking;
    if (IsRenderer(m.filter.Get())) m.filter.As(seeking);
  }
}

REFERENCE_TIME FilterGraph::StreamTimeLocked() const {
  REFERENCE_TIME now = 0;
  if (m_state != State_Running || !m_clock || FAILED(m_clock->GetTime(&now)))
    return m_pausedStreamTime;
  return std::max<REFERENCE_TIME>(0, now - m_tStart);
}

HRESULT FilterGraph::PauseLocked() {
  if (m_state == State_Stopped) {
    ChooseClockLocked();
    PrepareRendererPositionsLocked();
    m_pausedStreamTime = 0;
  } else if (m_state == State_Running) {
    m_pausedStreamTime = StreamTimeLocked();
  }
  HRESULT result = S_OK;
  for (const auto& filter : StateOrderLocked()) {
    const HRESULT hr = filter->Pause();
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  m_state = State_Paused;
  return result;
}

HRESULT FilterGraph::RunLocked() {
  const bool fresh = m_state == State_Stopped;
  if (m_state != State_Paused) {
    const HRESULT hr = PauseLocked();
    if (FAILED(hr)) {
      StopLocked();
      return hr;
    }
  }
  REFERENCE_TIME now = 0;
  if (m_clock && SUCCEEDED(m_clock->GetTime(&now)))
    m_tStart = now + kRunStartDelay - m_pausedStreamTime;
  else
    m_tStart = 0;
  const auto order = StateOrderLocked();
  const size_t renderers = static_cast<size_t>(std::count_if(
      order.begin(), order.end(), [](const auto& f) { return IsRenderer(f.Get()); }));
  m_events.BeginRun(renderers, fresh);
  HRESULT result = S_OK;
  for (const auto& filter : order) {
    const HRESULT hr = filter->Run(m_tStart);
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  m_state = State_Running;
  if (FAILED(result)) StopLocked();
  return result;
}

HRESULT FilterGraph::StopLocked() {
  HRESULT result = S_OK;
  for (const auto& filter : StateOrderLocked()) {
    const HRESULT hr = filter->Stop();
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  m_state = State_Stopped;
  m_pausedStreamTime = 0;
  m_events.Restart();
  return result;
}

HRESULT FilterGraph::Run() {
  CAutoLock lock(&m_lock);
  if (m_state == State_Running) return S_OK;
  return RunLocked();
}

HRESULT FilterGraph::Run(REFERENCE_TIME) { return Run(); }

HRESULT FilterGraph::Pause() {
  CAutoLock lock(&m_lock);
  if (m_state == State_Paused) return S_OK;
  return PauseLocked();
}

HRESULT FilterGraph::Stop() {
  CAutoLock lock(&m_lock);
  if (m_state == State_Stopped) return S_OK;
  return StopLocked();
}

HRESULT FilterGraph::StopWhenReady() {
  CAutoLock lock(&m_lock);
  if (m_state == State_Stopped) return S_OK;
  return StopLocked();
}

HRESULT FilterGraph::GetState(DWORD msTimeout, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  CAutoLock lock(&m_lock);
  *state = m_state;
  HRESULT result = S_OK;
  for (const Member& m : m_members) {
    FILTER_STATE filterState;
    const HRESULT hr = m.filter->GetState(msTimeout, &filterState);
    if (FAILED(hr)) return hr;
    if (hr == VFW_S_STATE_INTERMEDIATE) result = hr;
  }
  return result;
}

HRESULT FilterGraph::GetState(LONG msTimeout, OAFilterState* state) {
  if (!state) return E_POINTER;
  FILTER_STATE filterState;
  const HRESULT hr = GetState(static_cast<DWORD>(msTimeout), &filterState);
  *state = filterState;
  return hr;
}

HRESULT FilterGraph::SetSyncSource(IReferenceClock* clock) {
  CAutoLock lock(&m_lock);
  if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
  m_clock = clock;
  m_clockFromApplication = true;
  for (const Member& m : m_members) m.filter->SetSyncSource(clock);
  return S_OK;
}

HRESULT FilterGraph::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  CAutoLock lock(&m_lock);
  *clock = m_clock.Get();
  if (*clock) (*clock)->AddRef();
  return S_OK;
}

HRESULT FilterGraph::SetDefaultSyncSource() {
  CAutoLock lock(&m_lock);
  if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
  m_clockFromApplication = false;
  ChooseClockLocked();
  return S_OK;
}

HRESULT FilterGraph::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_FilterGraph;
  return S_OK;
}

HRESULT FilterGraph::GetEventHandle(OAEVENT* handle) { return m_events.GetEventHandle(handle); }

HRESULT FilterGraph::GetEvent(LONG* code, LONG_PTR* p1, LONG_PTR* p2, LONG msTimeout) {
  return m_events.GetEvent(code, p1, p2, msTimeout);
}

HRESULT FilterGraph::WaitForCompletion(LONG msTimeout, LONG* code) {
  return m_events.WaitForCompletion(msTimeout, code, m_state == State_Running);
}

HRESULT FilterGraph::CancelDefaultHandling(LONG code) { return m_events.CancelDefaultHandling(code); }

HRESULT FilterGraph::RestoreDefaultHandling(LONG code) {
  return m_events.RestoreDefaultHandling(code);
}

HRESULT FilterGraph::SetNotifyWindow(OAHWND hwnd, LONG message, LONG_PTR instance) {
  return m_events.SetNotifyWindow(hwnd, message, instance);
}

HRESULT FilterGraph::SetNotifyFlags(LONG flags) { return m_events.SetNotifyFlags(flags); }

HRESULT FilterGraph::GetNotifyFlags(LONG* flags) { return m_events.GetNotifyFlags(flags); }

HRESULT FilterGraph::Notify(LONG code, LONG_PTR p1, LONG_PTR p2) {
  m_events.Notify(code, p1, p2);
  return S_OK;
}
