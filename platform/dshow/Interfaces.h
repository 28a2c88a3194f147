// The streaming interfaces every filter speaks: filters, pins, enumerators, media samples and
// allocators, the reference clock, the graph's event sink and the graph itself as a filter sees
// it. Methods keep the order of their platform declarations (the vtable is the contract).
#pragma once

#include "DShowErrors.h"
#include "MediaTypes.h"

struct IBaseFilter;
struct IEnumFilters;
struct IEnumMediaTypes;
struct IEnumPins;
struct IFilterGraph;
struct IMediaSample;
struct IMemAllocator;
struct IPin;
struct IReferenceClock;

DEFINE_GUID(IID_IPersist, 0x0000010C, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IMediaFilter, 0x56A86899, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7,
            0x70);
DEFINE_GUID(IID_IBaseFilter, 0x56A86895, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7,
            0x70);
DEFINE_GUID(IID_IPin, 0x56A86891, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
DEFINE_GUID(IID_IEnumPins, 0x56A86892, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7,
            0x70);
DEFINE_GUID(IID_IEnumFilters, 0x56A86893, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7,
            0x70);
DEFINE_GUID(IID_IEnumMediaTypes, 0x89C31040, 0x846B, 0x11CE, 0x97, 0xD3, 0x00, 0xAA, 0x00, 0x55,
            0x59, 0x5A);
DEFINE_GUID(IID_IFilterGraph, 0x56A8689F, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7,
            0x70);
DEFINE_GUID(IID_IReferenceClock, 0x56A86897, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B,
            0xA7, 0x70);
DEFINE_GUID(IID_IMemInputPin, 0x56A8689D, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7,
            0x70);
DEFINE_GUID(IID_IMemAllocator, 0x56A8689C, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7,
            0x70);
DEFINE_GUID(IID_IMediaSample, 0x56A8689A, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7,
            0x70);
DEFINE_GUID(IID_IMediaEventSink, 0x56A868A2, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B,
            0xA7, 0x70);
DEFINE_GUID(IID_IQualityControl, 0x56A868A5, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B,
            0xA7, 0x70);

enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

constexpr size_t MAX_PIN_NAME = 128;     // characters, terminator included
constexpr size_t MAX_FILTER_NAME = 128;  // characters, terminator included

struct PIN_INFO {
  IBaseFilter* pFilter;  // AddRef'd; the caller releases it
  PIN_DIRECTION dir;
  WCHAR achName[MAX_PIN_NAME];
};

struct FILTER_INFO {
  WCHAR achName[MAX_FILTER_NAME];
  IFilterGraph* pGraph;  // AddRef'd when not null; the caller releases it
};

struct ALLOCATOR_PROPERTIES {
  LONG cBuffers;
  LONG cbBuffer;
  LONG cbAlign;
  LONG cbPrefix;
};

// IMemAllocator::GetBuffer flags.
constexpr DWORD AM_GBF_PREVFRAMESKIPPED = 1;
constexpr DWORD AM_GBF_NOTASYNCPOINT = 2;
constexpr DWORD AM_GBF_NOWAIT = 4;  // fail with VFW_E_TIMEOUT instead of waiting for a buffer

enum QualityMessageType { Famine = 0, Flood = 1 };
struct Quality {
  QualityMessageType Type;
  LONG Proportion;  // 1000 = as fast as is being delivered
  REFERENCE_TIME Late;
  REFERENCE_TIME TimeStamp;
};

// Handles the reference clock signals: the address of a CAMEvent (HEVENT) or of a counting
// semaphore object of the clock's implementation (HSEMAPHORE).
using HEVENT = uintptr_t;
using HSEMAPHORE = uintptr_t;

struct IPersist : IUnknown {
  static constexpr const GUID& kIid = IID_IPersist;
  virtual HRESULT GetClassID(CLSID* pClassID) = 0;

 protected:
  ~IPersist() = default;
};

struct IReferenceClock : IUnknown {
  static constexpr const GUID& kIid = IID_IReferenceClock;
  virtual HRESULT GetTime(REFERENCE_TIME* pTime) = 0;
  virtual HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT hEvent,
                             DWORD_PTR* pdwAdviseCookie) = 0;
  virtual HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                                 HSEMAPHORE hSemaphore, DWORD_PTR* pdwAdviseCookie) = 0;
  virtual HRESULT Unadvise(DWORD_PTR dwAdviseCookie) = 0;

 protected:
  ~IReferenceClock() = default;
};

struct IMediaFilter : IPersist {
  static constexpr const GUID& kIid = IID_IMediaFilter;
  virtual HRESULT Stop() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Run(REFERENCE_TIME tStart) = 0;
  virtual HRESULT GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) = 0;
  virtual HRESULT SetSyncSource(IReferenceClock* pClock) = 0;
  virtual HRESULT GetSyncSource(IReferenceClock** pClock) = 0;

 protected:
  ~IMediaFilter() = default;
};

struct IBaseFilter : IMediaFilter {
  static constexpr const GUID& kIid = IID_IBaseFilter;
  virtual HRESULT EnumPins(IEnumPins** ppEnum) = 0;
  virtual HRESULT FindPin(LPCWSTR Id, IPin** ppPin) = 0;
  virtual HRESULT QueryFilterInfo(FILTER_INFO* pInfo) = 0;
  virtual HRESULT JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) = 0;
  virtual HRESULT QueryVendorInfo(LPWSTR* pVendorInfo) = 0;

 protected:
  ~IBaseFilter() = default;
};

struct IPin : IUnknown {
  static constexpr const GUID& kIid = IID_IPin;
  virtual HRESULT Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT Disconnect() = 0;
  virtual HRESULT ConnectedTo(IPin** pPin) = 0;
  virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT QueryPinInfo(PIN_INFO* pInfo) = 0;
  virtual HRESULT QueryDirection(PIN_DIRECTION* pPinDir) = 0;
  virtual HRESULT QueryId(LPWSTR* Id) = 0;
  virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT EnumMediaTypes(IEnumMediaTypes** ppEnum) = 0;
  virtual HRESULT QueryInternalConnections(IPin** apPin, ULONG* nPin) = 0;
  virtual HRESULT EndOfStream() = 0;
  virtual HRESULT BeginFlush() = 0;
  virtual HRESULT EndFlush() = 0;
  virtual HRESULT NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) = 0;

 protected:
  ~IPin() = default;
};

struct IEnumPins : IUnknown {
  static constexpr const GUID& kIid = IID_IEnumPins;
  virtual HRESULT Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cPins) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumPins** ppEnum) = 0;

 protected:
  ~IEnumPins() = default;
};

struct IEnumMediaTypes : IUnknown {
  static constexpr const GUID& kIid = IID_IEnumMediaTypes;
  // Each returned type is CreateMediaType'd; the caller frees it with DeleteMediaType.
  virtual HRESULT Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cMediaTypes) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumMediaTypes** ppEnum) = 0;

 protected:
  ~IEnumMediaTypes() = default;
};

struct IEnumFilters : IUnknown {
  static constexpr const GUID& kIid = IID_IEnumFilters;
  virtual HRESULT Next(ULONG cFilters, IBaseFilter** ppFilter, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cFilters) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumFilters** ppEnum) = 0;

 protected:
  ~IEnumFilters() = default;
};

// The graph as the filters in it see it. A filter keeps the pointer it gets in JoinFilterGraph
// without a reference (the graph owns the filter, not the other way round).
struct IFilterGraph : IUnknown {
  static constexpr const GUID& kIid = IID_IFilterGraph;
  virtual HRESULT AddFilter(IBaseFilter* pFilter, LPCWSTR pName) = 0;
  virtual HRESULT RemoveFilter(IBaseFilter* pFilter) = 0;
  virtual HRESULT EnumFilters(IEnumFilters** ppEnum) = 0;
  virtual HRESULT FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) = 0;
  virtual HRESULT ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT Reconnect(IPin* ppin) = 0;
  virtual HRESULT Disconnect(IPin* ppin) = 0;
  virtual HRESULT SetDefaultSyncSource() = 0;

 protected:
  ~IFilterGraph() = default;
};

// The graph's side of events: filters report EC_ codes here.
struct IMediaEventSink : IUnknown {
  static constexpr const GUID& kIid = IID_IMediaEventSink;
  virtual HRESULT Notify(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) = 0;

 protected:
  ~IMediaEventSink() = default;
};

struct IQualityControl : IUnknown {
  static constexpr const GUID& kIid = IID_IQualityControl;
  virtual HRESULT Notify(IBaseFilter* pSelf, Quality q) = 0;
  virtual HRESULT SetSink(IQualityControl* piqc) = 0;

 protected:
  ~IQualityControl() = default;
};

struct IMediaSample : IUnknown {
  static constexpr const GUID& kIid = IID_IMediaSample;
  virtual HRESULT GetPointer(BYTE** ppBuffer) = 0;
  virtual LONG GetSize() = 0;
  virtual HRESULT GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) = 0;
  virtual HRESULT SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) = 0;
  virtual HRESULT IsSyncPoint() = 0;
  virtual HRESULT SetSyncPoint(BOOL bIsSyncPoint) = 0;
  virtual HRESULT IsPreroll() = 0;
  virtual HRESULT SetPreroll(BOOL bIsPreroll) = 0;
  virtual LONG GetActualDataLength() = 0;
  virtual HRESULT SetActualDataLength(LONG length) = 0;
  virtual HRESULT GetMediaType(AM_MEDIA_TYPE** ppMediaType) = 0;
  virtual HRESULT SetMediaType(AM_MEDIA_TYPE* pMediaType) = 0;
  virtual HRESULT IsDiscontinuity() = 0;
  virtual HRESULT SetDiscontinuity(BOOL bDiscontinuity) = 0;
  virtual HRESULT GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) = 0;
  virtual HRESULT SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) = 0;

 protected:
  ~IMediaSample() = default;
};

struct IMemAllocator : IUnknown {
  static constexpr const GUID& kIid = IID_IMemAllocator;
  virtual HRESULT SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) = 0;
  virtual HRESULT GetProperties(ALLOCATOR_PROPERTIES* pProps) = 0;
  virtual HRESULT Commit() = 0;
  virtual HRESULT Decommit() = 0;
  virtual HRESULT GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime,
                            REFERENCE_TIME* pEndTime, DWORD dwFlags) = 0;
  virtual HRESULT ReleaseBuffer(IMediaSample* pBuffer) = 0;

 protected:
  ~IMemAllocator() = default;
};

struct IMemInputPin : IUnknown {
  static constexpr const GUID& kIid = IID_IMemInputPin;
  virtual HRESULT GetAllocator(IMemAllocator** ppAllocator) = 0;
  virtual HRESULT NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) = 0;
  virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) = 0;
  virtual HRESULT Receive(IMediaSample* pSample) = 0;
  virtual HRESULT ReceiveMultiple(IMediaSample** pSamples, LONG nSamples,
                                  LONG* nSamplesProcessed) = 0;
  virtual HRESULT ReceiveCanBlock() = 0;

 protected:
  ~IMemInputPin() = default;
};
