#include "OutputSeeking.h"

#include "Seeking.h"

namespace splitter {

OutputSeeking::OutputSeeking(IUnknown* owner, std::function<REFERENCE_TIME()> videoClock)
    : m_owner(owner), m_videoClock(std::move(videoClock)) {}

bool OutputSeeking::Attach(IPin* input) {
  if (m_upstream) return true;
  HRESULT hr = S_OK;
  auto* passThru = new (std::nothrow) CPosPassThru("Seeking Pass Thru", nullptr, &hr, input);
  if (!passThru) return false;
  passThru->NonDelegatingQueryInterface(IID_IUnknown, m_passThru.ReleaseAndGetVoidAddress());
  if (FAILED(hr)) {
    m_passThru.Reset();
    return false;
  }
  return SUCCEEDED(m_passThru->QueryInterface(IID_IMediaSeeking, m_upstream.ReleaseAndGetVoidAddress()));
}

#define FORWARD(call) \
  if (!m_upstream) return E_FAIL; \
  return m_upstream->call

HRESULT OutputSeeking::GetCapabilities(DWORD* p) { FORWARD(GetCapabilities(p)); }
HRESULT OutputSeeking::CheckCapabilities(DWORD* p) { FORWARD(CheckCapabilities(p)); }
HRESULT OutputSeeking::IsFormatSupported(const GUID* p) { FORWARD(IsFormatSupported(p)); }
HRESULT OutputSeeking::QueryPreferredFormat(GUID* p) { FORWARD(QueryPreferredFormat(p)); }
HRESULT OutputSeeking::GetTimeFormat(GUID* p) { FORWARD(GetTimeFormat(p)); }
HRESULT OutputSeeking::IsUsingTimeFormat(const GUID* p) { FORWARD(IsUsingTimeFormat(p)); }
HRESULT OutputSeeking::SetTimeFormat(const GUID* p) { FORWARD(SetTimeFormat(p)); }
HRESULT OutputSeeking::GetDuration(LONGLONG* p) { FORWARD(GetDuration(p)); }
HRESULT OutputSeeking::GetAvailable(LONGLONG* e, LONGLONG* l) { FORWARD(GetAvailable(e, l)); }
HRESULT OutputSeeking::GetPreroll(LONGLONG* p) { FORWARD(GetPreroll(p)); }

#undef FORWARD

HRESULT OutputSeeking::GetStopPosition(LONGLONG* pStop) { return GetDuration(pStop); }

HRESULT OutputSeeking::GetCurrentPosition(LONGLONG* pCurrent) {
  if (!m_upstream) return E_FAIL;
  const HRESULT hr = m_upstream->GetCurrentPosition(pCurrent);
  // Wraps like the 64-bit product it stands for; never undefined.
  if (pCurrent)
    *pCurrent = static_cast<LONGLONG>(static_cast<uint64_t>(*pCurrent) * kCurrentPositionScale);
  return hr;
}

HRESULT OutputSeeking::ConvertTimeFormat(LONGLONG*, const GUID*, LONGLONG, const GUID*) {
  return S_OK;
}

HRESULT OutputSeeking::SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop,
                                    DWORD dwStopFlags) {
  if (!m_upstream) return E_FAIL;
  (void)m_upstream->SetPositions(pCurrent, dwCurrentFlags, pStop, dwStopFlags);
  return S_OK;
}

HRESULT OutputSeeking::GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) {
  if (pCurrent) *pCurrent = m_videoClock();
  if (!m_upstream) return E_FAIL;
  return m_upstream->GetPositions(pCurrent, pStop);
}

HRESULT OutputSeeking::SetRate(double dRate) {
  if (!m_upstream) return E_FAIL;
  (void)m_upstream->SetRate(dRate);
  return S_OK;
}

HRESULT OutputSeeking::GetRate(double* pdRate) {
  if (!m_upstream) return E_FAIL;
  (void)m_upstream->GetRate(pdRate);
  return S_OK;
}

}  // namespace splitter
