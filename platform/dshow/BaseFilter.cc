#include "Filter.h"
#include "WideString.h"

CBaseFilter::CBaseFilter(const char* name, IUnknown* outer, CCritSec* lock, REFCLSID clsid)
    : CUnknown(name, outer), m_pLock(lock), m_clsid(clsid) {}

CBaseFilter::~CBaseFilter() {
  if (m_pClock) m_pClock->Release();
}

HRESULT CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IBaseFilter) return GetInterface(static_cast<IBaseFilter*>(this), ppv);
  if (riid == IID_IMediaFilter) return GetInterface(static_cast<IMediaFilter*>(this), ppv);
  if (riid == IID_IPersist) return GetInterface(static_cast<IPersist*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBaseFilter::GetClassID(CLSID* pClsID) {
  if (!pClsID) return E_POINTER;
  *pClsID = m_clsid;
  return S_OK;
}

HRESULT CBaseFilter::Stop() {
  CAutoLock lock(m_pLock);
  HRESULT hr = S_OK;
  if (m_State != State_Stopped) {
    for (int i = 0; i < GetPinCount(); ++i) {
      CBasePin* pin = GetPin(i);
      if (!pin || !pin->IsConnected()) continue;
      // Every pin is told, even after one failed; the first failure is reported.
      const HRESULT pinResult = pin->Inactive();
      if (FAILED(pinResult) && SUCCEEDED(hr)) hr = pinResult;
    }
  }
  m_State = State_Stopped;
  return hr;
}

HRESULT CBaseFilter::Pause() {
  CAutoLock lock(m_pLock);
  if (m_State == State_Stopped) {
    for (int i = 0; i < GetPinCount(); ++i) {
      CBasePin* pin = GetPin(i);
      if (!pin || !pin->IsConnected()) continue;
      const HRESULT hr = pin->Active();
      if (FAILED(hr)) return hr;
    }
  }
  m_State = State_Paused;
  return S_OK;
}

HRESULT CBaseFilter::Run(REFERENCE_TIME tStart) {
  CAutoLock lock(m_pLock);
  m_tStart = tStart;
  if (m_State == State_Stopped) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  if (m_State != State_Running) {
    for (int i = 0; i < GetPinCount(); ++i) {
      CBasePin* pin = GetPin(i);
      if (!pin || !pin->IsConnected()) continue;
      const HRESULT hr = pin->Run(tStart);
      if (FAILED(hr)) return hr;
    }
  }
  m_State = State_Running;
  return S_OK;
}

HRESULT CBaseFilter::GetState(DWORD, FILTER_STATE* State) {
  if (!State) return E_POINTER;
  *State = m_State;
  return S_OK;
}

HRESULT CBaseFilter::SetSyncSource(IReferenceClock* pClock) {
  if (pClock) pClock->AddRef();
  IReferenceClock* old;
  {
    std::lock_guard guard(m_graphLock);
    old = m_pClock;
    m_pClock = pClock;
  }
  if (old) old->Release();
  return S_OK;
}

HRESULT CBaseFilter::GetSyncSource(IReferenceClock** pClock) {
  if (!pClock) return E_POINTER;
  *pClock = AddRefClock();
  return S_OK;
}

IReferenceClock* CBaseFilter::AddRefClock() {
  std::lock_guard guard(m_graphLock);
  if (m_pClock) m_pClock->AddRef();
  return m_pClock;
}

HRESULT CBaseFilter::EnumPins(IEnumPins** ppEnum) {
  if (!ppEnum) return E_POINTER;
  auto* pins = new CEnumPins(this, nullptr);
  return GetInterface(static_cast<IEnumPins*>(pins), reinterpret_cast<void**>(ppEnum));
}

HRESULT CBaseFilter::FindPin(LPCWSTR Id, IPin** ppPin) {
  if (!Id || !ppPin) return E_POINTER;
  CAutoLock lock(m_pLock);
  for (int i = 0; i < GetPinCount(); ++i) {
    CBasePin* pin = GetPin(i);
    if (pin && pin->Name() == Id) {
      return GetInterface(static_cast<IPin*>(pin), reinterpret_cast<void**>(ppPin));
    }
  }
  *ppPin = nullptr;
  return VFW_E_NOT_FOUND;
}

HRESULT CBaseFilter::QueryFilterInfo(FILTER_INFO* pInfo) {
  if (!pInfo) return E_POINTER;
  std::lock_guard guard(m_graphLock);
  WideCopy(pInfo->achName, MAX_FILTER_NAME, m_name.c_str());
  pInfo->pGraph = m_pGraph;
  if (m_pGraph) m_pGraph->AddRef();
  return S_OK;
}

HRESULT CBaseFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
  CAutoLock lock(m_pLock);
  IMediaEventSink* sink = nullptr;
  if (pGraph && SUCCEEDED(pGraph->QueryInterface(IID_IMediaEventSink,
                                                 reinterpret_cast<void**>(&sink)))) {
    // Kept without a reference: the graph outlives its membership of this filter.
    sink->Release();
  }
  std::lock_guard guard(m_graphLock);
  m_pGraph = pGraph;
  m_pSink = sink;
  m_name = (pGraph && pName) ? std::u16string(pName) : std::u16string();
  return S_OK;
}

HRESULT CBaseFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

HRESULT CBaseFilter::NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2) {
  IMediaEventSink* sink;
  {
    std::lock_guard guard(m_graphLock);
    sink = m_pSink;
  }
  if (!sink) return E_NOTIMPL;
  if (code == EC_COMPLETE) param2 = reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this));
  return sink->Notify(code, param1, param2);
}

HRESULT CBaseFilter::ReconnectPin(IPin* pin, const AM_MEDIA_TYPE*) {
  IFilterGraph* graph;
  {
    std::lock_guard guard(m_graphLock);
    graph = m_pGraph;
  }
  if (!graph) return E_NOINTERFACE;
  return graph->Reconnect(pin);
}
