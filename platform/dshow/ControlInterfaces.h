// The control interfaces filters expose besides streaming: seeking (IMediaSeeking and the older
// IMediaPosition on a reduced IDispatch), file source and sink names, push-source latency,
// filter flags and property pages. Methods keep the order of their platform declarations.
#pragma once

#include "ComRuntime.h"
#include "Interfaces.h"

DEFINE_GUID(IID_IDispatch, 0x00020400, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x46);
DEFINE_GUID(IID_IMediaSeeking, 0x36B73880, 0xC2C8, 0x11CF, 0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF,
            0x60);
DEFINE_GUID(IID_IMediaPosition, 0x56A868B2, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B,
            0xA7, 0x70);
DEFINE_GUID(IID_IFileSourceFilter, 0x56A868A6, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B,
            0xA7, 0x70);
DEFINE_GUID(IID_IFileSinkFilter, 0xA2104830, 0x7C70, 0x11CF, 0x8B, 0xCE, 0x00, 0xAA, 0x00, 0xA3,
            0xF1, 0xA6);
DEFINE_GUID(IID_IAMLatency, 0x62EA93BA, 0xEC62, 0x11D2, 0xB7, 0x70, 0x00, 0xC0, 0x4F, 0xB6, 0xBD,
            0x3D);
DEFINE_GUID(IID_IAMPushSource, 0xF185FE76, 0xE64E, 0x11D2, 0xB7, 0x6E, 0x00, 0xC0, 0x4F, 0xB6, 0xBD,
            0x3D);
DEFINE_GUID(IID_IAMFilterMiscFlags, 0x2DD74950, 0xA890, 0x11D1, 0xAB, 0xE8, 0x00, 0xA0, 0xC9, 0x05,
            0xF3, 0x75);
DEFINE_GUID(IID_ISpecifyPropertyPages, 0xB196B28B, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00,
            0x34, 0x1D, 0x07);

using REFTIME = double;  // seconds, as IMediaPosition counts

// IMediaSeeking capability bits.
constexpr DWORD AM_SEEKING_CanSeekAbsolute = 0x1;
constexpr DWORD AM_SEEKING_CanSeekForwards = 0x2;
constexpr DWORD AM_SEEKING_CanSeekBackwards = 0x4;
constexpr DWORD AM_SEEKING_CanGetCurrentPos = 0x8;
constexpr DWORD AM_SEEKING_CanGetStopPos = 0x10;
constexpr DWORD AM_SEEKING_CanGetDuration = 0x20;
constexpr DWORD AM_SEEKING_CanPlayBackwards = 0x40;
constexpr DWORD AM_SEEKING_CanDoSegments = 0x80;
constexpr DWORD AM_SEEKING_Source = 0x100;

// IMediaSeeking::SetPositions flags: the low two bits say how the value is meant.
constexpr DWORD AM_SEEKING_NoPositioning = 0;
constexpr DWORD AM_SEEKING_AbsolutePositioning = 1;
constexpr DWORD AM_SEEKING_RelativePositioning = 2;
constexpr DWORD AM_SEEKING_IncrementalPositioning = 3;
constexpr DWORD AM_SEEKING_PositioningBitsMask = 3;
constexpr DWORD AM_SEEKING_SeekToKeyFrame = 4;
constexpr DWORD AM_SEEKING_ReturnTime = 8;
constexpr DWORD AM_SEEKING_Segment = 0x10;
constexpr DWORD AM_SEEKING_NoFlush = 0x20;

// IAMPushSource flags.
constexpr ULONG AM_PUSHSOURCECAPS_INTERNAL_RM = 0x1;
constexpr ULONG AM_PUSHSOURCECAPS_NOT_LIVE = 0x2;
constexpr ULONG AM_PUSHSOURCECAPS_PRIVATE_CLOCK = 0x4;
constexpr ULONG AM_PUSHSOURCEREQS_USE_STREAM_CLOCK = 0x10000;

// IAMFilterMiscFlags bits.
constexpr ULONG AM_FILTER_MISC_FLAGS_IS_RENDERER = 0x1;
constexpr ULONG AM_FILTER_MISC_FLAGS_IS_SOURCE = 0x2;

// A counted array of GUIDs allocated with CoTaskMemAlloc (property page classes).
struct CAUUID {
  ULONG cElems;
  GUID* pElems;
};

// Automation is not part of this platform: IDispatch keeps its four slots so that the
// interfaces derived from it keep their layout; implementations answer E_NOTIMPL. The opaque
// arguments stand for ITypeInfo, DISPPARAMS, VARIANT and EXCEPINFO.
using DISPID = LONG;
using LCID = DWORD;
struct IDispatch : IUnknown {
  static constexpr const GUID& kIid = IID_IDispatch;
  virtual HRESULT GetTypeInfoCount(UINT* pctinfo) = 0;
  virtual HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, void** ppTInfo) = 0;
  virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                DISPID* rgDispId) = 0;
  virtual HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                         void* pDispParams, void* pVarResult, void* pExcepInfo,
                         UINT* puArgErr) = 0;

 protected:
  ~IDispatch() = default;
};

struct IMediaPosition : IDispatch {
  static constexpr const GUID& kIid = IID_IMediaPosition;
  virtual HRESULT get_Duration(REFTIME* plength) = 0;
  virtual HRESULT put_CurrentPosition(REFTIME llTime) = 0;
  virtual HRESULT get_CurrentPosition(REFTIME* pllTime) = 0;
  virtual HRESULT get_StopTime(REFTIME* pllTime) = 0;
  virtual HRESULT put_StopTime(REFTIME llTime) = 0;
  virtual HRESULT get_PrerollTime(REFTIME* pllTime) = 0;
  virtual HRESULT put_PrerollTime(REFTIME llTime) = 0;
  virtual HRESULT put_Rate(double dRate) = 0;
  virtual HRESULT get_Rate(double* pdRate) = 0;
  virtual HRESULT CanSeekForward(LONG* pCanSeekForward) = 0;
  virtual HRESULT CanSeekBackward(LONG* pCanSeekBackward) = 0;

 protected:
  ~IMediaPosition() = default;
};

struct IMediaSeeking : IUnknown {
  static constexpr const GUID& kIid = IID_IMediaSeeking;
  virtual HRESULT GetCapabilities(DWORD* pCapabilities) = 0;
  virtual HRESULT CheckCapabilities(DWORD* pCapabilities) = 0;
  virtual HRESULT IsFormatSupported(const GUID* pFormat) = 0;
  virtual HRESULT QueryPreferredFormat(GUID* pFormat) = 0;
  virtual HRESULT GetTimeFormat(GUID* pFormat) = 0;
  virtual HRESULT IsUsingTimeFormat(const GUID* pFormat) = 0;
  virtual HRESULT SetTimeFormat(const GUID* pFormat) = 0;
  virtual HRESULT GetDuration(LONGLONG* pDuration) = 0;
  virtual HRESULT GetStopPosition(LONGLONG* pStop) = 0;
  virtual HRESULT GetCurrentPosition(LONGLONG* pCurrent) = 0;
  virtual HRESULT ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat, LONGLONG Source,
                                    const GUID* pSourceFormat) = 0;
  virtual HRESULT SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop,
                               DWORD dwStopFlags) = 0;
  virtual HRESULT GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) = 0;
  virtual HRESULT GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) = 0;
  virtual HRESULT SetRate(double dRate) = 0;
  virtual HRESULT GetRate(double* pdRate) = 0;
  virtual HRESULT GetPreroll(LONGLONG* pllPreroll) = 0;

 protected:
  ~IMediaSeeking() = default;
};

struct IFileSourceFilter : IUnknown {
  static constexpr const GUID& kIid = IID_IFileSourceFilter;
  virtual HRESULT Load(LPCOLESTR pszFileName, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) = 0;

 protected:
  ~IFileSourceFilter() = default;
};

struct IFileSinkFilter : IUnknown {
  static constexpr const GUID& kIid = IID_IFileSinkFilter;
  virtual HRESULT SetFileName(LPCOLESTR pszFileName, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) = 0;

 protected:
  ~IFileSinkFilter() = default;
};

struct IAMLatency : IUnknown {
  static constexpr const GUID& kIid = IID_IAMLatency;
  virtual HRESULT GetLatency(REFERENCE_TIME* prtLatency) = 0;

 protected:
  ~IAMLatency() = default;
};

struct IAMPushSource : IAMLatency {
  static constexpr const GUID& kIid = IID_IAMPushSource;
  virtual HRESULT GetPushSourceFlags(ULONG* pFlags) = 0;
  virtual HRESULT SetPushSourceFlags(ULONG Flags) = 0;
  virtual HRESULT SetStreamOffset(REFERENCE_TIME rtOffset) = 0;
  virtual HRESULT GetStreamOffset(REFERENCE_TIME* prtOffset) = 0;
  virtual HRESULT GetMaxStreamOffset(REFERENCE_TIME* prtMaxOffset) = 0;
  virtual HRESULT SetMaxStreamOffset(REFERENCE_TIME rtMaxOffset) = 0;

 protected:
  ~IAMPushSource() = default;
};

struct IAMFilterMiscFlags : IUnknown {
  static constexpr const GUID& kIid = IID_IAMFilterMiscFlags;
  virtual ULONG GetMiscFlags() = 0;

 protected:
  ~IAMFilterMiscFlags() = default;
};

struct ISpecifyPropertyPages : IUnknown {
  static constexpr const GUID& kIid = IID_ISpecifyPropertyPages;
  virtual HRESULT GetPages(CAUUID* pPages) = 0;

 protected:
  ~ISpecifyPropertyPages() = default;
};
