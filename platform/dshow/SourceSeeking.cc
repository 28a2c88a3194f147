#include "MediaGuids.h"
#include "Seeking.h"

namespace {

// A source that has been told nothing else plays for ever.
constexpr REFERENCE_TIME kMaxTime = INT64_MAX;
constexpr DWORD kDefaultCaps = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards |
                               AM_SEEKING_CanSeekBackwards | AM_SEEKING_CanGetStopPos |
                               AM_SEEKING_CanGetDuration;

bool IsMediaTime(const GUID* format) { return !format || *format == TIME_FORMAT_MEDIA_TIME; }

}  // namespace

CSourceSeeking::CSourceSeeking(const char* name, IUnknown* outer, HRESULT*, CCritSec* lock)
    : CUnknown(name, outer),
      m_rtDuration(kMaxTime),
      m_rtStop(kMaxTime),
      m_dwSeekingCaps(kDefaultCaps),
      m_pLock(lock) {}

HRESULT CSourceSeeking::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IMediaSeeking) return GetInterface(static_cast<IMediaSeeking*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CSourceSeeking::IsFormatSupported(const GUID* pFormat) {
  if (!pFormat) return E_POINTER;
  return *pFormat == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT CSourceSeeking::QueryPreferredFormat(GUID* pFormat) {
  if (!pFormat) return E_POINTER;
  *pFormat = TIME_FORMAT_MEDIA_TIME;
  return S_OK;
}

HRESULT CSourceSeeking::SetTimeFormat(const GUID* pFormat) {
  if (!pFormat) return E_POINTER;
  return *pFormat == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

HRESULT CSourceSeeking::IsUsingTimeFormat(const GUID* pFormat) {
  if (!pFormat) return E_POINTER;
  return *pFormat == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT CSourceSeeking::GetTimeFormat(GUID* pFormat) { return QueryPreferredFormat(pFormat); }

HRESULT CSourceSeeking::GetDuration(LONGLONG* pDuration) {
  if (!pDuration) return E_POINTER;
  CAutoLock lock(m_pLock);
  *pDuration = m_rtDuration;
  return S_OK;
}

HRESULT CSourceSeeking::GetStopPosition(LONGLONG* pStop) {
  if (!pStop) return E_POINTER;
  CAutoLock lock(m_pLock);
  *pStop = m_rtStop;
  return S_OK;
}

HRESULT CSourceSeeking::GetCurrentPosition(LONGLONG*) { return E_NOTIMPL; }

HRESULT CSourceSeeking::GetCapabilities(DWORD* pCapabilities) {
  if (!pCapabilities) return E_POINTER;
  CAutoLock lock(m_pLock);
  *pCapabilities = m_dwSeekingCaps;
  return S_OK;
}

HRESULT CSourceSeeking::CheckCapabilities(DWORD* pCapabilities) {
  if (!pCapabilities) return E_POINTER;
  CAutoLock lock(m_pLock);
  const DWORD asked = *pCapabilities;
  *pCapabilities &= m_dwSeekingCaps;
  if (*pCapabilities == asked) return S_OK;
  return *pCapabilities ? S_FALSE : E_FAIL;
}

HRESULT CSourceSeeking::ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat,
                                          LONGLONG Source, const GUID* pSourceFormat) {
  if (!pTarget) return E_POINTER;
  if (!IsMediaTime(pTargetFormat) || !IsMediaTime(pSourceFormat)) return E_INVALIDARG;
  *pTarget = Source;
  return S_OK;
}

HRESULT CSourceSeeking::SetPositions(LONGLONG* pCurrent, DWORD CurrentFlags, LONGLONG* pStop,
                                     DWORD StopFlags) {
  const DWORD startBits = CurrentFlags & AM_SEEKING_PositioningBitsMask;
  const DWORD stopBits = StopFlags & AM_SEEKING_PositioningBitsMask;
  if (startBits != AM_SEEKING_NoPositioning) {
    if (!pCurrent) return E_POINTER;
    if (startBits == AM_SEEKING_IncrementalPositioning) return E_INVALIDARG;
  }
  if (stopBits != AM_SEEKING_NoPositioning && !pStop) return E_POINTER;

  CAutoLock lock(m_pLock);
  if (startBits == AM_SEEKING_AbsolutePositioning) {
    m_rtStart = *pCurrent;
  } else if (startBits == AM_SEEKING_RelativePositioning) {
    m_rtStart += *pCurrent;
  }
  if (stopBits == AM_SEEKING_AbsolutePositioning) {
    m_rtStop = *pStop;
  } else if (stopBits == AM_SEEKING_IncrementalPositioning) {
    m_rtStop = m_rtStart + *pStop;
  } else if (stopBits == AM_SEEKING_RelativePositioning) {
    m_rtStop += *pStop;
  }
  HRESULT hr = S_OK;
  if (stopBits != AM_SEEKING_NoPositioning) hr = ChangeStop();
  if (SUCCEEDED(hr) && startBits != AM_SEEKING_NoPositioning) hr = ChangeStart();
  return hr;
}

HRESULT CSourceSeeking::GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) {
  CAutoLock lock(m_pLock);
  if (pCurrent) *pCurrent = m_rtStart;
  if (pStop) *pStop = m_rtStop;
  return S_OK;
}

HRESULT CSourceSeeking::GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) {
  CAutoLock lock(m_pLock);
  if (pEarliest) *pEarliest = 0;
  if (pLatest) *pLatest = m_rtDuration;
  return S_OK;
}

HRESULT CSourceSeeking::SetRate(double dRate) {
  if (dRate == 0.0) return E_INVALIDARG;
  CAutoLock lock(m_pLock);
  m_dRateSeeking = dRate;
  return ChangeRate();
}

HRESULT CSourceSeeking::GetRate(double* pdRate) {
  if (!pdRate) return E_POINTER;
  CAutoLock lock(m_pLock);
  *pdRate = m_dRateSeeking;
  return S_OK;
}

HRESULT CSourceSeeking::GetPreroll(LONGLONG* pllPreroll) {
  if (!pllPreroll) return E_POINTER;
  *pllPreroll = 0;
  return S_OK;
}
