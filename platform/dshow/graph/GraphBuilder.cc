// FilterGraph: intelligent connection. A connection that cannot be made directly goes through
// filters the mapper offers for the output pin's media types, highest merit first; a candidate
// that refuses is removed again and the next is tried.
#include "FilterGraph.h"
#include "FilterMatcher.h"
#include "PinUtil.h"

namespace {

// How many intermediate filters one connection or one rendered stream may pass through.
constexpr int kMaxChainDepth = 6;
// Output pins whose name begins with this are not meant to be rendered.
constexpr char16_t kNoRenderPrefix = u'~';

bool SkipsRendering(IPin* pin) {
  const std::u16string name = PinName(pin);
  return !name.empty() && name.front() == kNoRenderPrefix;
}

}  // namespace

// Above MERIT_DO_NOT_USE, with an input pin for one of the output's types.
std::vector<RegisteredFilter> FilterGraph::CandidatesLocked(IPin* out, bool needOutput) {
  if (!m_registered) m_registered = filter_registry::All();
  FilterQuery query;
  query.minMerit = MERIT_DO_NOT_USE + 1;
  query.inputNeeded = true;
  query.inputTypes = PinTypes(out);
  query.outputNeeded = needOutput;
  return MatchFilters(*m_registered, query);
}

HRESULT FilterGraph::AddRegisteredFilterLocked(const CLSID& clsid, const std::u16string& name,
                                               ComPtr<IBaseFilter>& filter) {
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                filter.ReleaseAndGetVoidAddress());
  if (FAILED(hr)) return hr;
  hr = AddFilterLocked(filter.Get(), name.c_str());
  if (FAILED(hr)) filter.Reset();
  return hr;
}

HRESULT FilterGraph::ConnectToFilterLocked(IPin* out, IBaseFilter* filter) {
  HRESULT last = VFW_E_CANNOT_CONNECT;
  for (const auto& in : FilterPins(filter, PINDIR_INPUT)) {
    if (ConnectedPin(in.Get())) continue;
    last = out->Connect(in.Get(), nullptr);
    if (SUCCEEDED(last)) return last;
  }
  return last;
}

HRESULT FilterGraph::ConnectLocked(IPin* out, IPin* in, int depth) {
  HRESULT hr = out->Connect(in, nullptr);
  if (SUCCEEDED(hr) || depth >= kMaxChainDepth) return hr;
  for (const RegisteredFilter& candidate : CandidatesLocked(out, true)) {
    const size_t mark = m_members.size();
    ComPtr<IBaseFilter> filter;
    if (FAILED(AddRegisteredFilterLocked(candidate.record.clsid, candidate.record.name, filter)))
      continue;
    if (SUCCEEDED(ConnectToFilterLocked(out, filter.Get()))) {
      for (const auto& next : FilterPins(filter.Get(), PINDIR_OUTPUT)) {
        if (SUCCEEDED(ConnectLocked(next.Get(), in, depth + 1))) return S_OK;
      }
    }
    RollbackLocked(mark);
  }
  return VFW_E_CANNOT_CONNECT;
}

HRESULT FilterGraph::Connect(IPin* out, IPin* in) {
  CAutoLock lock(&m_lock);
  if (HRESULT hr = CheckConnectionLocked(out, in); FAILED(hr)) return hr;
  BeginBuildingLocked();
  return ConnectLocked(out, in, 0);
}

HRESULT FilterGraph::RenderOutputsLocked(IBaseFilter* filter, int depth) {
  size_t tried = 0;
  size_t rendered = 0;
  for (const auto& out : FilterPins(filter, PINDIR_OUTPUT)) {
    if (ConnectedPin(out.Get()) || SkipsRendering(out.Get())) continue;
    ++tried;
    if (SUCCEEDED(RenderLocked(out.Get(), depth))) ++rendered;
  }
  if (rendered == tried) return S_OK;
  return rendered > 0 ? VFW_S_PARTIAL_RENDER : VFW_E_CANNOT_RENDER;
}

HRESULT FilterGraph::RenderLocked(IPin* out, int depth) {
  if (depth >= kMaxChainDepth) return VFW_E_CANNOT_RENDER;
  for (const RegisteredFilter& candidate : CandidatesLocked(out, false)) {
    const size_t mark = m_members.size();
    ComPtr<IBaseFilter> filter;
    if (FAILED(AddRegisteredFilterLocked(candidate.record.clsid, candidate.record.name, filter)))
      continue;
    if (SUCCEEDED(ConnectToFilterLocked(out, filter.Get()))) {
      const HRESULT hr = RenderOutputsLocked(filter.Get(), depth + 1);
      if (SUCCEEDED(hr)) return hr;
    }
    RollbackLocked(mark);
  }
  return VFW_E_CANNOT_RENDER;
}

HRESULT FilterGraph::Render(IPin* out) {
  if (!out) return E_POINTER;
  CAutoLock lock(&m_lock);
  if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
  if (!PinInGraphLocked(out)) return VFW_E_NOT_IN_GRAPH;
  if (!PinDirectionIs(out, PINDIR_OUTPUT)) return VFW_E_INVALID_DIRECTION;
  if (ConnectedPin(out)) return VFW_E_ALREADY_CONNECTED;
  BeginBuildingLocked();
  return RenderLocked(out, 0);
}
