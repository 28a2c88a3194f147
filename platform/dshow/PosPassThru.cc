#include "Seeking.h"

namespace {

// IMediaPosition counts seconds; IMediaSeeking 100 ns units.
constexpr double kUnitsPerSecond = 10000000.0;

}  // namespace

CMediaPosition::CMediaPosition(const char* name, IUnknown* outer) : CUnknown(name, outer) {}

HRESULT CMediaPosition::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IMediaPosition) return GetInterface(static_cast<IMediaPosition*>(this), ppv);
  if (riid == IID_IDispatch) return GetInterface(static_cast<IDispatch*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CMediaPosition::GetTypeInfoCount(UINT* pctinfo) {
  if (!pctinfo) return E_POINTER;
  *pctinfo = 0;
  return S_OK;
}

HRESULT CMediaPosition::GetTypeInfo(UINT, LCID, void**) { return E_NOTIMPL; }

HRESULT CMediaPosition::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT CMediaPosition::Invoke(DISPID, REFIID, LCID, WORD, void*, void*, void*, UINT*) {
  return E_NOTIMPL;
}

CPosPassThru::CPosPassThru(const char* name, IUnknown* outer, HRESULT*, IPin* pin)
    : CMediaPosition(name, outer), m_pPin(pin) {}

HRESULT CPosPassThru::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IMediaSeeking) return GetInterface(static_cast<IMediaSeeking*>(this), ppv);
  return CMediaPosition::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CPosPassThru::GetPeerSeeking(IMediaSeeking** ppSeeking) {
  *ppSeeking = nullptr;
  IPin* connected = nullptr;
  if (FAILED(m_pPin->ConnectedTo(&connected)) || !connected) return E_NOTIMPL;
  const HRESULT hr = connected->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(ppSeeking));
  connected->Release();
  return FAILED(hr) ? E_NOTIMPL : S_OK;
}

HRESULT CPosPassThru::GetPeerPosition(IMediaPosition** ppPosition) {
  *ppPosition = nullptr;
  IPin* connected = nullptr;
  if (FAILED(m_pPin->ConnectedTo(&connected)) || !connected) return E_NOTIMPL;
  const HRESULT hr =
      connected->QueryInterface(IID_IMediaPosition, reinterpret_cast<void**>(ppPosition));
  connected->Release();
  return FAILED(hr) ? E_NOTIMPL : S_OK;
}

HRESULT CPosPassThru::GetMediaTime(LONGLONG*, LONGLONG*) { return E_FAIL; }

// Each forwarding method: get the peer, call it, release it.
#define FORWARD_TO(getPeer, Interface, call)          \
  do {                                                \
    Interface* peer = nullptr;                        \
    const HRESULT peerResult = getPeer(&peer);        \
    if (FAILED(peerResult)) return peerResult;        \
    const HRESULT callResult = peer->call;            \
    peer->Release();                                  \
    return callResult;                                \
  } while (false)
#define FORWARD_SEEKING(call) FORWARD_TO(GetPeerSeeking, IMediaSeeking, call)
#define FORWARD_POSITION(call) FORWARD_TO(GetPeerPosition, IMediaPosition, call)

HRESULT CPosPassThru::GetCapabilities(DWORD* p) { FORWARD_SEEKING(GetCapabilities(p)); }
HRESULT CPosPassThru::CheckCapabilities(DWORD* p) { FORWARD_SEEKING(CheckCapabilities(p)); }
HRESULT CPosPassThru::IsFormatSupported(const GUID* f) { FORWARD_SEEKING(IsFormatSupported(f)); }
HRESULT CPosPassThru::QueryPreferredFormat(GUID* f) { FORWARD_SEEKING(QueryPreferredFormat(f)); }
HRESULT CPosPassThru::GetTimeFormat(GUID* f) { FORWARD_SEEKING(GetTimeFormat(f)); }
HRESULT CPosPassThru::IsUsingTimeFormat(const GUID* f) { FORWARD_SEEKING(IsUsingTimeFormat(f)); }
HRESULT CPosPassThru::SetTimeFormat(const GUID* f) { FORWARD_SEEKING(SetTimeFormat(f)); }
HRESULT CPosPassThru::GetDuration(LONGLONG* p) { FORWARD_SEEKING(GetDuration(p)); }
HRESULT CPosPassThru::GetStopPosition(LONGLONG* p) { FORWARD_SEEKING(GetStopPosition(p)); }

HRESULT CPosPassThru::GetCurrentPosition(LONGLONG* pCurrent) {
  if (!pCurrent) return E_POINTER;
  LONGLONG end = 0;
  if (SUCCEEDED(GetMediaTime(pCurrent, &end))) return S_OK;
  FORWARD_SEEKING(GetCurrentPosition(pCurrent));
}

HRESULT CPosPassThru::ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat,
                                        LONGLONG Source, const GUID* pSourceFormat) {
  FORWARD_SEEKING(ConvertTimeFormat(pTarget, pTargetFormat, Source, pSourceFormat));
}

HRESULT CPosPassThru::SetPositions(LONGLONG* pCurrent, DWORD CurrentFlags, LONGLONG* pStop,
                                   DWORD StopFlags) {
  FORWARD_SEEKING(SetPositions(pCurrent, CurrentFlags, pStop, StopFlags));
}

HRESULT CPosPassThru::GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) {
  FORWARD_SEEKING(GetPositions(pCurrent, pStop));
}

HRESULT CPosPassThru::GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) {
  FORWARD_SEEKING(GetAvailable(pEarliest, pLatest));
}

HRESULT CPosPassThru::SetRate(double dRate) { FORWARD_SEEKING(SetRate(dRate)); }
HRESULT CPosPassThru::GetRate(double* pdRate) { FORWARD_SEEKING(GetRate(pdRate)); }
HRESULT CPosPassThru::GetPreroll(LONGLONG* p) { FORWARD_SEEKING(GetPreroll(p)); }

HRESULT CPosPassThru::get_Duration(REFTIME* p) { FORWARD_POSITION(get_Duration(p)); }

HRESULT CPosPassThru::put_CurrentPosition(REFTIME t) { FORWARD_POSITION(put_CurrentPosition(t)); }

HRESULT CPosPassThru::get_CurrentPosition(REFTIME* pllTime) {
  if (!pllTime) return E_POINTER;
  LONGLONG start = 0;
  LONGLONG end = 0;
  if (SUCCEEDED(GetMediaTime(&start, &end))) {
    *pllTime = static_cast<double>(start) / kUnitsPerSecond;
    return S_OK;
  }
  FORWARD_POSITION(get_CurrentPosition(pllTime));
}

HRESULT CPosPassThru::get_StopTime(REFTIME* p) { FORWARD_POSITION(get_StopTime(p)); }
HRESULT CPosPassThru::put_StopTime(REFTIME t) { FORWARD_POSITION(put_StopTime(t)); }
HRESULT CPosPassThru::get_PrerollTime(REFTIME* p) { FORWARD_POSITION(get_PrerollTime(p)); }
HRESULT CPosPassThru::put_PrerollTime(REFTIME t) { FORWARD_POSITION(put_PrerollTime(t)); }
HRESULT CPosPassThru::put_Rate(double r) { FORWARD_POSITION(put_Rate(r)); }
HRESULT CPosPassThru::get_Rate(double* p) { FORWARD_POSITION(get_Rate(p)); }
HRESULT CPosPassThru::CanSeekForward(LONG* p) { FORWARD_POSITION(CanSeekForward(p)); }
HRESULT CPosPassThru::CanSeekBackward(LONG* p) { FORWARD_POSITION(CanSeekBackward(p)); }

CRendererPosPassThru::CRendererPosPassThru(const char* name, IUnknown* outer, HRESULT* phr,
                                           IPin* pin)
    : CPosPassThru(name, outer, phr, pin) {}

HRESULT CRendererPosPassThru::RegisterMediaTime(IMediaSample* pMediaSample) {
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  const HRESULT hr = pMediaSample->GetTime(&start, &stop);
  if (FAILED(hr)) return hr;
  CAutoLock lock(&m_PositionLock);
  m_StartMedia = start;
  m_EndMedia = stop;
  m_bReset = false;
  return S_OK;
}

HRESULT CRendererPosPassThru::ResetMediaTime() {
  CAutoLock lock(&m_PositionLock);
  m_StartMedia = 0;
  m_EndMedia = 0;
  m_bReset = true;
  return S_OK;
}

HRESULT CRendererPosPassThru::GetMediaTime(LONGLONG* pStartTime, LONGLONG* pEndTime) {
  CAutoLock lock(&m_PositionLock);
  if (m_bReset) return E_FAIL;
  *pStartTime = m_StartMedia;
  if (pEndTime) *pEndTime = m_EndMedia;
  return S_OK;
}

HRESULT CreatePosPassThru(IUnknown* outer, BOOL renderer, IPin* pin, IUnknown** ppPassThru) {
  if (!ppPassThru || !pin) return E_POINTER;
  *ppPassThru = nullptr;
  HRESULT hr = S_OK;
  CPosPassThru* passThru =
      renderer ? new CRendererPosPassThru("Renderer Seeking Pass Thru", outer, &hr, pin)
               : new CPosPassThru("Seeking Pass Thru", outer, &hr, pin);
  if (FAILED(hr)) {
    delete passThru;
    return hr;
  }
  return passThru->NonDelegatingQueryInterface(IID_IUnknown, reinterpret_cast<void**>(ppPassThru));
}
