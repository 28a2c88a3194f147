// FilterGraph: construction, interfaces, and which filters the graph holds.
#include <algorithm>
#include <cstdio>

#include "FilterGraph.h"
#include "MonikerBase.h"
#include "PinUtil.h"
#include "WideString.h"

namespace {

// Longest name a filter keeps (FILTER_INFO), without the NUL; room is left for " 0001".
constexpr size_t kMaxNameChars = MAX_FILTER_NAME - 1;
constexpr size_t kSuffixChars = 5;
constexpr int kMaxDuplicateSuffix = 9999;

using FilterSnapshotEnum = SnapshotEnum<IEnumFilters, InterfaceTraits<IBaseFilter>>;

}  // namespace

FilterGraph::FilterGraph() : CUnknown("FilterGraph", nullptr) {}

FilterGraph::~FilterGraph() {
  CAutoLock lock(&m_lock);
  StopLocked();
  while (!m_members.empty()) RemoveFilterLocked(m_members.back().filter.Get());
}

CUnknown* FilterGraph::CreateInstance(IUnknown* outer, HRESULT* phr) {
  if (outer) {
    *phr = CLASS_E_NOAGGREGATION;
    return nullptr;
  }
  auto* object = new (std::nothrow) FilterGraph;
  if (!object) *phr = E_OUTOFMEMORY;
  return object;
}

HRESULT FilterGraph::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IFilterGraph || riid == IID_IGraphBuilder)
    return GetInterface(static_cast<IGraphBuilder*>(this), ppv);
  if (riid == IID_IMediaControl) return GetInterface(static_cast<IMediaControl*>(this), ppv);
  if (riid == IID_IMediaEvent || riid == IID_IMediaEventEx)
    return GetInterface(static_cast<IMediaEventEx*>(this), ppv);
  if (riid == IID_IMediaEventSink) return GetInterface(static_cast<IMediaEventSink*>(this), ppv);
  if (riid == IID_IMediaSeeking) return GetInterface(static_cast<IMediaSeeking*>(this), ppv);
  if (riid == IID_IMediaFilter || riid == IID_IPersist)
    return GetInterface(static_cast<IMediaFilter*>(this), ppv);
  if (riid == IID_IBasicAudio) return GetInterface(static_cast<IBasicAudio*>(this), ppv);
  if (riid == IID_IBasicVideo) return GetInterface(static_cast<IBasicVideo*>(this), ppv);
  if (riid == IID_IVideoWindow) return GetInterface(static_cast<IVideoWindow*>(this), ppv);
  if (riid == IID_IVideoFrameStep) return GetInterface(static_cast<IVideoFrameStep*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

bool FilterGraph::ContainsLocked(IBaseFilter* filter) const {
  return std::any_of(m_members.begin(), m_members.end(),
                     [&](const Member& m) { return m.filter.Get() == filter; });
}

bool FilterGraph::PinInGraphLocked(IPin* pin) const {
  const ComPtr<IBaseFilter> owner = PinOwner(pin);
  return owner && ContainsLocked(owner.Get());
}

std::u16string FilterGraph::UniqueNameLocked(const std::u16string& wanted) const {
  const auto taken = [&](const std::u16string& name) {
    return std::any_of(m_members.begin(), m_members.end(),
                       [&](const Member& m) { return m.name == name; });
  };
  std::u16string base = wanted.substr(0, kMaxNameChars);
  if (!taken(base)) return base;
  base = base.substr(0, kMaxNameChars - kSuffixChars);
  for (int n = 1; n <= kMaxDuplicateSuffix; ++n) {
    char suffix[16];  // " %04d" of n <= kMaxDuplicateSuffix is kSuffixChars long
    std::snprintf(suffix, sizeof suffix, " %04d", n);
    const std::u16string candidate = base + Utf8ToWide(suffix);
    if (!taken(candidate)) return candidate;
  }
  return {};
}

HRESULT FilterGraph::AddFilterLocked(IBaseFilter* filter, LPCWSTR name) {
  if (!filter) return E_POINTER;
  if (ContainsLocked(filter)) return VFW_E_DUPLICATE_NAME;
  const std::u16string wanted = name ? std::u16string(name) : std::u16string();
  const std::u16string unique = UniqueNameLocked(wanted);
  if (unique.empty() && !wanted.empty()) return VFW_E_DUPLICATE_NAME;
  HRESULT hr = filter->JoinFilterGraph(static_cast<IGraphBuilder*>(this), unique.c_str());
  if (FAILED(hr)) return hr;
  m_members.push_back({ComPtr<IBaseFilter>(filter), unique});
  if (m_clock) filter->SetSyncSource(m_clock.Get());
  return unique == wanted ? S_OK : VFW_S_DUPLICATE_NAME;
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR name) {
  CAutoLock lock(&m_lock);
  return AddFilterLocked(filter, name);
}

HRESULT FilterGraph::RemoveFilterLocked(IBaseFilter* filter) {
  auto it = std::find_if(m_members.begin(), m_members.end(),
                         [&](const Member& m) { return m.filter.Get() == filter; });
  if (it == m_members.end()) return VFW_E_NOT_FOUND;
  for (const auto& pin : FilterPins(filter)) {
    if (auto other = ConnectedPin(pin.Get())) {
      other->Disconnect();
      pin->Disconnect();
    }
  }
  const ComPtr<IBaseFilter> keep = it->filter;  // alive until it has left the graph
  m_members.erase(it);
  keep->SetSyncSource(nullptr);
  keep->JoinFilterGraph(nullptr, nullptr);
  return S_OK;
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter) {
  if (!filter) return E_POINTER;
  CAutoLock lock(&m_lock);
  if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
  return RemoveFilterLocked(filter);
}

void FilterGraph::RollbackLocked(size_t count) {
  while (m_members.size() > count) RemoveFilterLocked(m_members.back().filter.Get());
}

std::vector<ComPtr<IBaseFilter>> FilterGraph::FiltersLocked() const {
  std::vector<ComPtr<IBaseFilter>> filters;
  for (const Member& m : m_members) filters.push_back(m.filter);
  return filters;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** out) {
  CAutoLock lock(&m_lock);
  return FilterSnapshotEnum::Create(FiltersLocked(), out);
}

HRESULT FilterGraph::FindFilterByName(LPCWSTR name, IBaseFilter** out) {
  if (!name || !out) return E_POINTER;
  *out = nullptr;
  CAutoLock lock(&m_lock);
  for (const Member& m : m_members) {
    if (m.name == name) {
      *out = m.filter.Get();
      (*out)->AddRef();
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

HRESULT FilterGraph::CheckConnectionLocked(IPin* out, IPin* in) const {
  if (!out || !in) return E_POINTER;
  if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
  if (!PinInGraphLocked(out) || !PinInGraphLocked(in)) return VFW_E_NOT_IN_GRAPH;
  if (!PinDirectionIs(out, PINDIR_OUTPUT) || !PinDirectionIs(in, PINDIR_INPUT))
    return VFW_E_INVALID_DIRECTION;
  return S_OK;
}

HRESULT FilterGraph::ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* pmt) {
  CAutoLock lock(&m_lock);
  if (HRESULT hr = CheckConnectionLocked(out, in); FAILED(hr)) return hr;
  return out->Connect(in, pmt);
}

HRESULT FilterGraph::Disconnect(IPin* pin) {
  if (!pin) return E_POINTER;
  CAutoLock lock(&m_lock);
  if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
  return pin->Disconnect();
}

HRESULT FilterGraph::Reconnect(IPin* pin) {
  if (!pin) return E_POINTER;
  CAutoLock lock(&m_lock);
  if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
  ComPtr<IPin> other = ConnectedPin(pin);
  if (!other) return VFW_E_NOT_CONNECTED;
  ComPtr<IPin> out = PinDirectionIs(pin, PINDIR_OUTPUT) ? ComPtr<IPin>(pin) : other;
  ComPtr<IPin> in = out.Get() == pin ? other : ComPtr<IPin>(pin);
  AM_MEDIA_TYPE mt{};
  const bool haveType = SUCCEEDED(out->ConnectionMediaType(&mt));
  out->Disconnect();
  in->Disconnect();
  HRESULT hr = out->Connect(in.Get(), nullptr);
  if (FAILED(hr) && haveType) hr = out->Connect(in.Get(), &mt);
  if (haveType) FreeMediaType(mt);
  return hr;
}

HRESULT FilterGraph::Abort() { return S_OK; }

HRESULT FilterGraph::ShouldOperationContinue() { return S_OK; }
