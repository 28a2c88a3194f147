// IMediaSeeking of the recorder file source: media time only, rate 1, absolute and relative
// positions. A new current position takes effect at the first group at or after it where
// decoding may resume.
#include <algorithm>

#include "RecorderFileSource.h"

namespace vendor {
namespace {

constexpr DWORD kCapabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards |
                                AM_SEEKING_CanSeekBackwards | AM_SEEKING_CanGetCurrentPos |
                                AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;
constexpr double kNormalRate = 1.0;

// The position a SetPositions argument asks for, from the one now in force.
REFERENCE_TIME Resolve(const LONGLONG* value, DWORD flags, REFERENCE_TIME now) {
  switch (flags & AM_SEEKING_PositioningBitsMask) {
    case AM_SEEKING_AbsolutePositioning: return *value;
    case AM_SEEKING_RelativePositioning:
    case AM_SEEKING_IncrementalPositioning: return now + *value;
    default: return now;
  }
}

}  // namespace

HRESULT RecorderFileSource::GetCapabilities(DWORD* pCapabilities) {
  if (!pCapabilities) return E_POINTER;
  *pCapabilities = kCapabilities;
  return S_OK;
}

HRESULT RecorderFileSource::CheckCapabilities(DWORD* pCapabilities) {
  if (!pCapabilities) return E_POINTER;
  const DWORD asked = *pCapabilities;
  *pCapabilities &= kCapabilities;
  if (*pCapabilities == asked) return S_OK;
  return *pCapabilities ? S_FALSE : E_FAIL;
}

HRESULT RecorderFileSource::IsFormatSupported(const GUID* pFormat) {
  if (!pFormat) return E_POINTER;
  return *pFormat == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT RecorderFileSource::QueryPreferredFormat(GUID* pFormat) { return GetTimeFormat(pFormat); }

HRESULT RecorderFileSource::GetTimeFormat(GUID* pFormat) {
  if (!pFormat) return E_POINTER;
  *pFormat = TIME_FORMAT_MEDIA_TIME;
  return S_OK;
}

HRESULT RecorderFileSource::IsUsingTimeFormat(const GUID* pFormat) {
  return IsFormatSupported(pFormat);
}

HRESULT RecorderFileSource::SetTimeFormat(const GUID* pFormat) {
  if (!pFormat) return E_POINTER;
  return *pFormat == TIME_FORMAT_MEDIA_TIME || *pFormat == TIME_FORMAT_NONE ? S_OK : E_INVALIDARG;
}

HRESULT RecorderFileSource::GetDuration(LONGLONG* pDuration) {
  if (!pDuration) return E_POINTER;
  CAutoLock lock(&m_lock);
  if (!index_.Loaded()) return E_UNEXPECTED;
  *pDuration = index_.Duration();
  return S_OK;
}

HRESULT RecorderFileSource::GetStopPosition(LONGLONG* pStop) {
  if (!pStop) return E_POINTER;
  CAutoLock lock(&m_lock);
  *pStop = stop_;
  return S_OK;
}

HRESULT RecorderFileSource::GetCurrentPosition(LONGLONG* pCurrent) {
  if (!pCurrent) return E_POINTER;
  CAutoLock lock(&m_lock);
  *pCurrent = streamer_ && IsActive() ? streamer_->Position() : start_;
  return S_OK;
}

HRESULT RecorderFileSource::ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat,
                                              LONGLONG Source, const GUID* pSourceFormat) {
  if (!pTarget) return E_POINTER;
  const auto isMediaTime = [](const GUID* format) {
    return !format || *format == TIME_FORMAT_MEDIA_TIME || *format == TIME_FORMAT_NONE;
  };
  if (!isMediaTime(pTargetFormat) || !isMediaTime(pSourceFormat)) return E_INVALIDARG;
  *pTarget = Source;
  return S_OK;
}

HRESULT RecorderFileSource::SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags,
                                         LONGLONG* pStop, DWORD dwStopFlags) {
  const bool moveCurrent = (dwCurrentFlags & AM_SEEKING_PositioningBitsMask) != 0;
  const bool moveStop = (dwStopFlags & AM_SEEKING_PositioningBitsMask) != 0;
  if ((moveCurrent && !pCurrent) || (moveStop && !pStop)) return E_POINTER;
  CAutoLock lock(&m_lock);
  if (!index_.Loaded()) return E_UNEXPECTED;
  const REFERENCE_TIME current =
      moveCurrent ? std::clamp<REFERENCE_TIME>(Resolve(pCurrent, dwCurrentFlags, start_), 0,
                                               index_.Duration())
                  : start_;
  const REFERENCE_TIME stop =
      moveStop ? std::clamp<REFERENCE_TIME>(Resolve(pStop, dwStopFlags, stop_), 0,
                                            index_.Duration())
               : stop_;
  if (moveCurrent && (dwCurrentFlags & AM_SEEKING_ReturnTime)) *pCurrent = current;
  if (moveStop && (dwStopFlags & AM_SEEKING_ReturnTime)) *pStop = stop;
  if (!moveCurrent) {
    stop_ = stop;  // a running stream picks up a new stop at its next run only
    return S_OK;
  }
  return Reposition(current, stop);
}

HRESULT RecorderFileSource::Reposition(REFERENCE_TIME current, REFERENCE_TIME stop) {
  start_ = current;
  stop_ = stop;
  if (!IsActive()) return S_OK;
  // Release the thread from downstream, stop its run, and start again from the new place.
  for (SourcePin* pin : {video_.get(), audio_.get()}) {
    if (pin->IsConnected()) pin->DeliverBeginFlush();
  }
  streamer_->StopRun();
  for (SourcePin* pin : {video_.get(), audio_.get()}) {
    if (pin->IsConnected()) pin->DeliverEndFlush();
  }
  return streamer_->Play(RangeFromStart());
}

HRESULT RecorderFileSource::GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) {
  if (pCurrent) {
    const HRESULT hr = GetCurrentPosition(pCurrent);
    if (FAILED(hr)) return hr;
  }
  return pStop ? GetStopPosition(pStop) : S_OK;
}

HRESULT RecorderFileSource::GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) {
  CAutoLock lock(&m_lock);
  if (pEarliest) *pEarliest = 0;
  if (pLatest) *pLatest = index_.Duration();
  return S_OK;
}

HRESULT RecorderFileSource::SetRate(double dRate) {
  return dRate == kNormalRate ? S_OK : E_INVALIDARG;
}

HRESULT RecorderFileSource::GetRate(double* pdRate) {
  if (!pdRate) return E_POINTER;
  *pdRate = kNormalRate;
  return S_OK;
}

HRESULT RecorderFileSource::GetPreroll(LONGLONG* pllPreroll) {
  if (!pllPreroll) return E_POINTER;
  *pllPreroll = 0;
  return S_OK;
}

}  // namespace vendor
