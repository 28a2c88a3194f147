// Seeking: a source's own position and rate, and the pass-through that lets a downstream filter
// answer seeking calls by asking the filter upstream of one of its input pins.
//
// Classes:
//   CSourceSeeking        IMediaSeeking for a source pin in media time (100 ns): keeps start,
//                         stop, duration and rate. Derive from it with the lock that
//                         serialises seeking with streaming; must override ChangeStart,
//                         ChangeStop and ChangeRate, which run after the new value is stored,
//                         with that lock held.
//   CMediaPosition        IMediaPosition on a reduced IDispatch (no automation): a base for
//                         objects that offer the older seeking interface.
//   CPosPassThru          IMediaSeeking and IMediaPosition forwarded to the pin connected to
//                         `pin` (E_NOTIMPL when it is not connected or does not seek). Used by
//                         transforms, splitters and sinks, aggregated by their filter.
//   CRendererPosPassThru  the same for renderers: the current position is the start time of the
//                         last sample rendered, when there is one.
//   CreatePosPassThru     makes either kind as an aggregated object and returns its inner
//                         IUnknown.
#pragma once

#include "ComBase.h"
#include "ControlInterfaces.h"
#include "Sync.h"

class CSourceSeeking : public IMediaSeeking, public CUnknown {
 public:
  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // Only TIME_FORMAT_MEDIA_TIME.
  HRESULT IsFormatSupported(const GUID* pFormat) override;
  HRESULT QueryPreferredFormat(GUID* pFormat) override;
  HRESULT SetTimeFormat(const GUID* pFormat) override;
  HRESULT IsUsingTimeFormat(const GUID* pFormat) override;
  HRESULT GetTimeFormat(GUID* pFormat) override;
  HRESULT GetDuration(LONGLONG* pDuration) override;
  HRESULT GetStopPosition(LONGLONG* pStop) override;
  // A source does not know what has been played: E_NOTIMPL.
  HRESULT GetCurrentPosition(LONGLONG* pCurrent) override;
  HRESULT GetCapabilities(DWORD* pCapabilities) override;
  // S_OK if all asked capabilities are there, S_FALSE if some, E_FAIL if none; *pCapabilities
  // keeps those that are.
  HRESULT CheckCapabilities(DWORD* pCapabilities) override;
  HRESULT ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat, LONGLONG Source,
                            const GUID* pSourceFormat) override;
  // Absolute or relative start; absolute, relative or incremental stop. Then ChangeStop (if the
  // stop was set) and ChangeStart (if the start was set), whose result is returned.
  HRESULT SetPositions(LONGLONG* pCurrent, DWORD CurrentFlags, LONGLONG* pStop,
                       DWORD StopFlags) override;
  HRESULT GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) override;
  HRESULT GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) override;
  // A zero rate is refused (E_INVALIDARG); otherwise stored, then ChangeRate.
  HRESULT SetRate(double dRate) override;
  HRESULT GetRate(double* pdRate) override;
  HRESULT GetPreroll(LONGLONG* pllPreroll) override;

 protected:
  // `lock` serialises seeking with the pin's streaming (usually the pin's own lock).
  CSourceSeeking(const char* name, IUnknown* outer, HRESULT* phr, CCritSec* lock);

  virtual HRESULT ChangeStart() = 0;
  virtual HRESULT ChangeStop() = 0;
  virtual HRESULT ChangeRate() = 0;

  // All guarded by m_pLock.
  REFERENCE_TIME m_rtDuration;
  REFERENCE_TIME m_rtStart = 0;
  REFERENCE_TIME m_rtStop;
  double m_dRateSeeking = 1.0;
  // Absolute, forwards, backwards, stop position and duration.
  DWORD m_dwSeekingCaps;
  CCritSec* const m_pLock;
};

class CMediaPosition : public IMediaPosition, public CUnknown {
 public:
  CMediaPosition(const char* name, IUnknown* outer);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // No type information (0); the other IDispatch methods: E_NOTIMPL.
  HRESULT GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, void** ppTInfo) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                        DISPID* rgDispId) override;
  HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, void* pDispParams,
                 void* pVarResult, void* pExcepInfo, UINT* puArgErr) override;
};

class CPosPassThru : public IMediaSeeking, public CMediaPosition {
 public:
  // `pin` is an input pin of the filter that owns this object; it is not AddRef'd.
  CPosPassThru(const char* name, IUnknown* outer, HRESULT* phr, IPin* pin);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  HRESULT GetCapabilities(DWORD* pCapabilities) override;
  HRESULT CheckCapabilities(DWORD* pCapabilities) override;
  HRESULT IsFormatSupported(const GUID* pFormat) override;
  HRESULT QueryPreferredFormat(GUID* pFormat) override;
  HRESULT GetTimeFormat(GUID* pFormat) override;
  HRESULT IsUsingTimeFormat(const GUID* pFormat) override;
  HRESULT SetTimeFormat(const GUID* pFormat) override;
  HRESULT GetDuration(LONGLONG* pDuration) override;
  HRESULT GetStopPosition(LONGLONG* pStop) override;
  // The position of the last sample (GetMediaTime) if known, else the upstream's answer.
  HRESULT GetCurrentPosition(LONGLONG* pCurrent) override;
  HRESULT ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat, LONGLONG Source,
                            const GUID* pSourceFormat) override;
  HRESULT SetPositions(LONGLONG* pCurrent, DWORD CurrentFlags, LONGLONG* pStop,
                       DWORD StopFlags) override;
  HRESULT GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) override;
  HRESULT GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) override;
  HRESULT SetRate(double dRate) override;
  HRESULT GetRate(double* pdRate) override;
  HRESULT GetPreroll(LONGLONG* pllPreroll) override;

  HRESULT get_Duration(REFTIME* plength) override;
  HRESULT put_CurrentPosition(REFTIME llTime) override;
  HRESULT get_CurrentPosition(REFTIME* pllTime) override;
  HRESULT get_StopTime(REFTIME* pllTime) override;
  HRESULT put_StopTime(REFTIME llTime) override;
  HRESULT get_PrerollTime(REFTIME* pllTime) override;
  HRESULT put_PrerollTime(REFTIME llTime) override;
  HRESULT put_Rate(double dRate) override;
  HRESULT get_Rate(double* pdRate) override;
  HRESULT CanSeekForward(LONG* pCanSeekForward) override;
  HRESULT CanSeekBackward(LONG* pCanSeekBackward) override;

 protected:
  // The upstream pin's interfaces, AddRef'd; E_NOTIMPL when there is none.
  HRESULT GetPeerSeeking(IMediaSeeking** ppSeeking);
  HRESULT GetPeerPosition(IMediaPosition** ppPosition);
  // The media time reached, for GetCurrentPosition; the base knows none (E_FAIL).
  virtual HRESULT GetMediaTime(LONGLONG* pStartTime, LONGLONG* pEndTime);

 private:
  IPin* const m_pPin;
};

class CRendererPosPassThru : public CPosPassThru {
 public:
  CRendererPosPassThru(const char* name, IUnknown* outer, HRESULT* phr, IPin* pin);

  // Remembers the times of the sample being rendered.
  HRESULT RegisterMediaTime(IMediaSample* pMediaSample);
  // Forgets them (on Stop and after a flush).
  HRESULT ResetMediaTime();

 protected:
  HRESULT GetMediaTime(LONGLONG* pStartTime, LONGLONG* pEndTime) override;

 private:
  CCritSec m_PositionLock;  // guards the times below
  LONGLONG m_StartMedia = 0;
  LONGLONG m_EndMedia = 0;
  bool m_bReset = true;  // no sample since the last reset
};

// A pass-through aggregated into `outer` (renderer: current position from rendered samples),
// bound to `pin`; *ppPassThru receives its inner IUnknown.
HRESULT CreatePosPassThru(IUnknown* outer, BOOL renderer, IPin* pin, IUnknown** ppPassThru);
