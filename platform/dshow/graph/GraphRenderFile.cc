// FilterGraph: opening a file or URL. The source filter is chosen by SourceSelector, created,
// given the text through IFileSourceFilter::Load and every output pin is rendered.
#include "FilterGraph.h"
#include "MediaType.h"
#include "PinUtil.h"
#include "SourceSelector.h"

HRESULT FilterGraph::AddSourceFilterLocked(LPCWSTR file, LPCWSTR name,
                                           ComPtr<IBaseFilter>& source) {
  SourceChoice choice;
  HRESULT hr = ChooseSource(file, choice);
  if (FAILED(hr)) return hr;
  const size_t mark = m_members.size();
  hr = CoCreateInstance(choice.source, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                        source.ReleaseAndGetVoidAddress());
  if (FAILED(hr)) return VFW_E_CANNOT_LOAD_SOURCE_FILTER;
  ComPtr<IFileSourceFilter> loader = source.As<IFileSourceFilter>();
  if (!loader) return E_NOINTERFACE;
  hr = AddFilterLocked(source.Get(), name ? name : file);
  if (FAILED(hr)) return hr;
  CMediaType type;
  type.SetType(&choice.type.major);
  type.SetSubtype(&choice.type.sub);
  hr = loader->Load(choice.path.c_str(), choice.type.major == GUID_NULL ? nullptr : &type);
  if (FAILED(hr)) RollbackLocked(mark);
  return hr;
}

HRESULT FilterGraph::AddSourceFilter(LPCWSTR file, LPCWSTR name, IBaseFilter** out) {
  if (!file || !out) return E_POINTER;
  *out = nullptr;
  CAutoLock lock(&m_lock);
  ComPtr<IBaseFilter> source;
  const HRESULT hr = AddSourceFilterLocked(file, name, source);
  if (SUCCEEDED(hr)) *out = source.Detach();
  return hr;
}

HRESULT FilterGraph::RenderFile(LPCWSTR file, LPCWSTR) {
  if (!file) return E_POINTER;
  CAutoLock lock(&m_lock);
  if (m_state != State_Stopped) return VFW_E_NOT_STOPPED;
  BeginBuildingLocked();
  const size_t mark = m_members.size();
  ComPtr<IBaseFilter> source;
  HRESULT hr = AddSourceFilterLocked(file, nullptr, source);
  if (FAILED(hr)) return hr;
  // A source without outputs gives nothing to play.
  hr = FilterPins(source.Get(), PINDIR_OUTPUT).empty() ? VFW_E_CANNOT_RENDER
                                                        : RenderOutputsLocked(source.Get(), 0);
  if (FAILED(hr)) RollbackLocked(mark);
  return hr;
}

HRESULT FilterGraph::RenderFile(BSTR file) { return RenderFile(file, nullptr); }
