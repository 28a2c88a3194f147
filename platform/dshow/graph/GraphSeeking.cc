// FilterGraph: IMediaSeeking over the filters. Duration and stop come from the filters that know
// them, the current position from the renderers and sinks, and seeking goes to the sources, which
// flush their streams downstream.
#include <algorithm>

#include "FilterGraph.h"
#include "PinUtil.h"

namespace {

bool IsSource(IBaseFilter* filter) {
  const auto inputs = FilterPins(filter, PINDIR_INPUT);
  return std::none_of(inputs.begin(), inputs.end(),
                      [](const ComPtr<IPin>& in) { return bool(ConnectedPin(in.Get())); });
}

// The filter's own seeking interface, else those of its output pins (a source with several
// streams seeks each of them).
void AddSeekingOf(IBaseFilter* filter, std::vector<ComPtr<IMediaSeeking>>& seekers) {
  ComPtr<IMediaSeeking> seeking;
  if (SUCCEEDED(ComPtr<IBaseFilter>(filter).As(seeking))) {
    seekers.push_back(std::move(seeking));
    return;
  }
  for (const auto& out : FilterPins(filter, PINDIR_OUTPUT)) {
    if (SUCCEEDED(out.As(seeking))) seekers.push_back(std::move(seeking));
  }
}

bool IsMediaTime(const GUID* format) { return format && *format == TIME_FORMAT_MEDIA_TIME; }

}  // namespace

std::vector<ComPtr<IMediaSeeking>> FilterGraph::SeekersLocked(bool sourcesOnly) const {
  std::vector<ComPtr<IMediaSeeking>> seekers;
  for (const Member& m : m_members) {
    if (!sourcesOnly || IsSource(m.filter.Get())) AddSeekingOf(m.filter.Get(), seekers);
  }
  return seekers;
}

HRESULT FilterGraph::GetCapabilities(DWORD* caps) {
  if (!caps) return E_POINTER;
  CAutoLock lock(&m_lock);
  *caps = AM_SEEKING_CanGetCurrentPos;
  for (const auto& seeking : SeekersLocked(true)) {
    DWORD sourceCaps = 0;
    if (SUCCEEDED(seeking->GetCapabilities(&sourceCaps))) *caps |= sourceCaps;
  }
  return S_OK;
}

HRESULT FilterGraph::CheckCapabilities(DWORD* caps) {
  if (!caps) return E_POINTER;
  DWORD have = 0;
  GetCapabilities(&have);
  const DWORD wanted = *caps;
  *caps &= have;
  if (*caps == wanted) return S_OK;
  return *caps ? S_FALSE : E_FAIL;
}

HRESULT FilterGraph::IsFormatSupported(const GUID* format) {
  if (!format) return E_POINTER;
  return IsMediaTime(format) ? S_OK : S_FALSE;
}

HRESULT FilterGraph::QueryPreferredFormat(GUID* format) {
  if (!format) return E_POINTER;
  *format = TIME_FORMAT_MEDIA_TIME;
  return S_OK;
}

HRESULT FilterGraph::GetTimeFormat(GUID* format) { return QueryPreferredFormat(format); }

HRESULT FilterGraph::IsUsingTimeFormat(const GUID* format) {
  if (!format) return E_POINTER;
  return IsMediaTime(format) ? S_OK : S_FALSE;
}

HRESULT FilterGraph::SetTimeFormat(const GUID* format) {
  if (!format) return E_POINTER;
  return IsMediaTime(format) ? S_OK : E_INVALIDARG;
}

HRESULT FilterGraph::GetDuration(LONGLONG* duration) {
  if (!duration) return E_POINTER;
  CAutoLock lock(&m_lock);
  HRESULT result = E_NOTIMPL;
  *duration = 0;
  for (const auto& seeking : SeekersLocked(false)) {
    LONGLONG d = 0;
    if (FAILED(seeking->GetDuration(&d))) continue;
    *duration = std::max(*duration, d);
    result = S_OK;
  }
  return result;
}

HRESULT FilterGraph::GetStopPosition(LONGLONG* stop) {
  if (!stop) return E_POINTER;
  {
    CAutoLock lock(&m_lock);
    for (const auto& seeking : SeekersLocked(true)) {
      if (SUCCEEDED(seeking->GetStopPosition(stop))) return S_OK;
    }
  }
  return GetDuration(stop);
}

HRESULT FilterGraph::GetCurrentPosition(LONGLONG* current) {
  if (!current) return E_POINTER;
  CAutoLock lock(&m_lock);
  bool answered = false;
  *current = 0;
  for (const Member& m : m_members) {
    if (!IsRenderer(m.filter.Get())) continue;
    ComPtr<IMediaSeeking> seeking;
    LONGLONG position = 0;
    if (FAILED(m.filter.As(seeking)) || FAILED(seeking->GetCurrentPosition(&position))) continue;
    *current = answered ? std::max(*current, position) : position;
    answered = true;
  }
  if (!answered) *current = StreamTimeLocked();
  return S_OK;
}

HRESULT FilterGraph::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                       const GUID* sourceFormat) {
  if (!target) return E_POINTER;
  const bool targetOk = !targetFormat || IsMediaTime(targetFormat);
  const bool sourceOk = !sourceFormat || IsMediaTime(sourceFormat);
  if (!targetOk || !sourceOk) return E_INVALIDARG;
  *target = source;
  return S_OK;
}

HRESULT FilterGraph::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                  DWORD stopFlags) {
  CAutoLock lock(&m_lock);
  const bool wasRunning = m_state == State_Running;
  if (wasRunning) PauseLocked();
  // The first success, else the last failure.
  HRESULT result = E_NOTIMPL;
  bool seeked = false;
  for (const auto& seeking : SeekersLocked(true)) {
    const HRESULT hr = seeking->SetPositions(current, currentFlags, stop, stopFlags);
    if (!seeked) result = hr;
    seeked = seeked || SUCCEEDED(hr);
  }
  if ((currentFlags & AM_SEEKING_PositioningBitsMask) != AM_SEEKING_NoPositioning) {
    // The sources restart their streams at the new position: stream time begins again at 0.
    m_pausedStreamTime = 0;
    m_events.Restart();
  }
  if (wasRunning) RunLocked();
  return result;
}

HRESULT FilterGraph::GetPositions(LONGLONG* current, LONGLONG* stop) {
  if (current) GetCurrentPosition(current);
  if (stop && FAILED(GetStopPosition(stop))) *stop = 0;
  return S_OK;
}

HRESULT FilterGraph::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
  if (earliest) *earliest = 0;
  if (latest) return GetDuration(latest);
  return S_OK;
}

HRESULT FilterGraph::SetRate(double rate) {
  if (rate <= 0) return E_INVALIDARG;
  CAutoLock lock(&m_lock);
  HRESULT result = S_OK;
  for (const auto& seeking : SeekersLocked(true)) {
    const HRESULT hr = seeking->SetRate(rate);
    if (FAILED(hr)) result = hr;
  }
  if (SUCCEEDED(result)) m_rate = rate;
  return result;
}

HRESULT FilterGraph::GetRate(double* rate) {
  if (!rate) return E_POINTER;
  CAutoLock lock(&m_lock);
  *rate = m_rate;
  return S_OK;
}

HRESULT FilterGraph::GetPreroll(LONGLONG* preroll) {
  if (!preroll) return E_POINTER;
  *preroll = 0;
  return S_OK;
}
