// Filters and pins: the connection protocol, media type enumeration, allocator negotiation,
// state changes and the streaming calls between pins.
//
// Classes:
//   CBaseFilter      IBaseFilter. Derive from it; must override GetPinCount and GetPin (pins are
//                    owned by the filter and live as long as it does); may override Stop, Pause,
//                    Run (call the base), NonDelegatingQueryInterface for extra interfaces.
//   CBasePin         IPin with the connection logic. Not derived from directly: use the input
//                    or output pin. Must override CheckMediaType; may override GetMediaType
//                    (types offered, by position), SetMediaType, CheckConnect, CompleteConnect,
//                    BreakConnect, Active, Inactive, Run, EndOfStream, NewSegment.
//   CEnumPins        the pins of a filter, out of sync (VFW_E_ENUM_OUT_OF_SYNC) once the
//                    filter's pin version changes.
//   CEnumMediaTypes  the types a pin's GetMediaType offers.
//   CBaseInputPin    IMemInputPin: allocator hand-over, Receive checks (S_FALSE while flushing,
//                    VFW_E_WRONG_STATE while stopped, VFW_E_RUNTIME_ERROR after an error, type
//                    changes checked against CheckMediaType), BeginFlush/EndFlush. A filter
//                    overrides Receive (call the base first and go on only on S_OK) and
//                    EndOfStream, BeginFlush, EndFlush as it needs.
//   CBaseOutputPin   allocator negotiation with the connected input pin. Must override
//                    DecideBufferSize (SetProperties on the allocator, then check what it
//                    granted). Streaming helpers: GetDeliveryBuffer, Deliver, DeliverEndOfStream,
//                    DeliverBeginFlush, DeliverEndFlush, DeliverNewSegment.
//
// Pins delegate their reference count to the filter: holding a pin holds the filter.
//
// Locking: a filter and its pins share one lock, the filter lock (m_pLock), taken by state
// changes, connections, flushing and NewSegment. Receive and Deliver never take it, nor does
// EndOfStream (except a rendered input pin's, see Renderer.h), so a state change may wait for a
// streaming thread (see Sync.h for the order of locks). The filter state is atomic so a
// streaming thread may read it without the lock.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "ComBase.h"
#include "ControlInterfaces.h"
#include "Interfaces.h"
#include "MediaType.h"
#include "Sync.h"

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter {
 public:
  // `lock` is the filter lock (owned by the derived class, shared with the pins).
  CBaseFilter(const char* name, IUnknown* outer, CCritSec* lock, REFCLSID clsid);
  ~CBaseFilter() override;

  DECLARE_IUNKNOWN
  // IBaseFilter, IMediaFilter, IPersist.
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  HRESULT GetClassID(CLSID* pClsID) override;
  // Connected pins become inactive (output pins decommit their allocators).
  HRESULT Stop() override;
  // From Stopped, connected pins become active (allocators commit; source threads start).
  HRESULT Pause() override;
  // Pauses first when stopped, then runs each connected pin with the start time.
  HRESULT Run(REFERENCE_TIME tStart) override;
  HRESULT GetState(DWORD dwMSecs, FILTER_STATE* State) override;
  HRESULT SetSyncSource(IReferenceClock* pClock) override;
  HRESULT GetSyncSource(IReferenceClock** pClock) override;

  HRESULT EnumPins(IEnumPins** ppEnum) override;
  // The pin whose QueryId is `Id`; VFW_E_NOT_FOUND otherwise.
  HRESULT FindPin(LPCWSTR Id, IPin** ppPin) override;
  HRESULT QueryFilterInfo(FILTER_INFO* pInfo) override;
  // Keeps the graph without a reference and its IMediaEventSink (also without one).
  HRESULT JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
  HRESULT QueryVendorInfo(LPWSTR* pVendorInfo) override;

  // The pins, by index 0 .. GetPinCount()-1; nullptr outside. No reference is added.
  virtual int GetPinCount() = 0;
  virtual CBasePin* GetPin(int n) = 0;

  // Sends an event to the graph's IMediaEventSink (E_NOTIMPL outside a graph). For EC_COMPLETE
  // the second parameter is replaced by this filter's IBaseFilter.
  HRESULT NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2);
  // Asks the graph to reconnect `pin` (after a type change). E_NOINTERFACE outside a graph.
  HRESULT ReconnectPin(IPin* pin, const AM_MEDIA_TYPE* pmt);

  bool IsActive() const { return m_State != State_Stopped; }
  bool IsStopped() const { return m_State == State_Stopped; }
  CCritSec* pStateLock() const { return m_pLock; }
  // Changes whenever pins are added or removed; enumerators compare it.
  LONG GetPinVersion() const { return m_PinVersion; }
  void IncrementPinVersion() { ++m_PinVersion; }
  // The start time given to Run (stream time 0 on the clock).
  REFERENCE_TIME StartTime() const { return m_tStart; }
  // The clock set by SetSyncSource, AddRef'd; nullptr when there is none.
  IReferenceClock* AddRefClock();

 protected:
  std::atomic<FILTER_STATE> m_State{State_Stopped};  // written under m_pLock
  CCritSec* const m_pLock;
  const CLSID m_clsid;
  std::atomic<REFERENCE_TIME> m_tStart{0};  // written under m_pLock in Run

 private:
  // The graph and its sink are read by streaming threads (NotifyEvent) and written by
  // JoinFilterGraph; m_graphLock is a leaf lock guarding them, the name and the clock.
  std::mutex m_graphLock;
  IFilterGraph* m_pGraph = nullptr;     // not AddRef'd: the graph owns the filter
  IMediaEventSink* m_pSink = nullptr;   // not AddRef'd, as the graph
  IReferenceClock* m_pClock = nullptr;  // AddRef'd
  std::u16string m_name;
  std::atomic<LONG> m_PinVersion{1};
};

class CBasePin : public CUnknown, public IPin, public IQualityControl {
 public:
  // `lock` is the filter lock; `name` the pin's name and id.
  CBasePin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
           LPCWSTR name, PIN_DIRECTION dir);
  ~CBasePin() override;

  // IUnknown: the count is the filter's.
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    return NonDelegatingQueryInterface(riid, ppv);
  }
  ULONG AddRef() override { return NonDelegatingAddRef(); }
  ULONG Release() override { return NonDelegatingRelease(); }
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  ULONG NonDelegatingAddRef() override;
  ULONG NonDelegatingRelease() override;

  // Connects to `pReceivePin` with `pmt` (or, for a partial or null type, with the first type
  // of the receiving pin's list, then of ours, that both accept). VFW_E_ALREADY_CONNECTED,
  // VFW_E_NOT_STOPPED, VFW_E_NO_ACCEPTABLE_TYPES, or the most specific failure met.
  HRESULT Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
  HRESULT ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
  // VFW_E_NOT_STOPPED unless stopped; S_FALSE when not connected.
  HRESULT Disconnect() override;
  HRESULT ConnectedTo(IPin** pPin) override;
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
  HRESULT QueryPinInfo(PIN_INFO* pInfo) override;
  HRESULT QueryDirection(PIN_DIRECTION* pPinDir) override;
  HRESULT QueryId(LPWSTR* Id) override;
  // S_OK when CheckMediaType accepts, S_FALSE otherwise.
  HRESULT QueryAccept(const AM_MEDIA_TYPE* pmt) override;
  HRESULT EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
  HRESULT QueryInternalConnections(IPin** apPin, ULONG* nPin) override;
  HRESULT EndOfStream() override;
  // Records the segment (CurrentStartTime and the like).
  HRESULT NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

  // IQualityControl: quality messages are not acted on by the base pins.
  HRESULT Notify(IBaseFilter* pSelf, Quality q) override;
  HRESULT SetSink(IQualityControl* piqc) override;

  // Hooks.
  // S_OK accepts; anything else refuses (E_FAIL, E_INVALIDARG and successes other than S_OK
  // become VFW_E_TYPE_NOT_ACCEPTED; other failures are reported as they are).
  virtual HRESULT CheckMediaType(const CMediaType* pmt) = 0;
  // The type offered at `position` (from 0): S_OK, VFW_S_NO_MORE_ITEMS past the end, or a
  // failure. The base offers none.
  virtual HRESULT GetMediaType(int position, CMediaType* pMediaType);
  // Records the connection type (m_mt).
  virtual HRESULT SetMediaType(const CMediaType* pmt);
  // Checks the other pin before any type is tried; the base refuses a pin of the same
  // direction (VFW_E_INVALID_DIRECTION).
  virtual HRESULT CheckConnect(IPin* pPin);
  virtual HRESULT CompleteConnect(IPin* pReceivePin);
  virtual HRESULT BreakConnect();
  // State changes from the filter (filter lock held). Only connected pins are called.
  virtual HRESULT Active();
  virtual HRESULT Inactive();
  virtual HRESULT Run(REFERENCE_TIME tStart);
  // Changes whenever the types a pin offers change; type enumerators compare it.
  virtual LONG GetMediaTypeVersion() { return m_TypeVersion; }
  void IncrementTypeVersion() { ++m_TypeVersion; }

  bool IsConnected() const { return m_Connected != nullptr; }
  bool IsStopped() const { return m_pFilter->IsStopped(); }
  // The connected pin (no reference added) and the connection type.
  IPin* GetConnected() const { return m_Connected; }
  const CMediaType& CurrentMediaType() const { return m_mt; }
  PIN_DIRECTION Direction() const { return m_dir; }
  const std::u16string& Name() const { return m_name; }
  CBaseFilter* Filter() const { return m_pFilter; }
  // The last segment (read them under the filter lock).
  REFERENCE_TIME CurrentStartTime() const { return m_tStart; }
  REFERENCE_TIME CurrentStopTime() const { return m_tStop; }
  double CurrentRate() const { return m_dRate; }

 protected:
  HRESULT AgreeMediaType(IPin* pReceivePin, const CMediaType* pmt);
  HRESULT TryMediaTypes(IPin* pReceivePin, const CMediaType* pmt, IEnumMediaTypes* pEnum);
  HRESULT AttemptConnection(IPin* pReceivePin, const CMediaType* pmt);
  // Drops the connection (BreakConnect, release the other pin). Filter lock held.
  HRESULT DisconnectInternal();

  CBaseFilter* const m_pFilter;
  CCritSec* const m_pLock;  // the filter lock
  const std::u16string m_name;
  const PIN_DIRECTION m_dir;
  // The connection: changed only while stopped, under m_pLock, and read by streaming threads
  // of that connection, which start after it is made.
  IPin* m_Connected = nullptr;  // AddRef'd
  CMediaType m_mt;
  std::atomic<bool> m_bRunTimeError{false};  // a streaming error stops further Receives
  // Try our own types before the receiving pin's (Connect without a complete type).
  bool m_bTryMyTypesFirst = false;
  IQualityControl* m_pQSink = nullptr;  // not AddRef'd; guarded by m_pLock
  std::atomic<LONG> m_TypeVersion{1};
  // The segment given by NewSegment; guarded by m_pLock.
  REFERENCE_TIME m_tStart = 0;
  REFERENCE_TIME m_tStop = INT64_MAX;
  double m_dRate = 1.0;
};

class CEnumPins : public CUnknown, public IEnumPins {
 public:
  // Starts at the first pin, or continues where `copyFrom` stands (Clone).
  CEnumPins(CBaseFilter* filter, const CEnumPins* copyFrom);
  ~CEnumPins() override;

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  HRESULT Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) override;
  HRESULT Skip(ULONG cPins) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumPins** ppEnum) override;

 private:
  bool OutOfSync() const { return m_Version != m_pFilter->GetPinVersion(); }

  CBaseFilter* const m_pFilter;  // AddRef'd
  // The enumerator belongs to one client thread at a time, like every COM enumerator.
  int m_Position = 0;
  LONG m_Version;
};

class CEnumMediaTypes : public CUnknown, public IEnumMediaTypes {
 public:
  CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* copyFrom);
  ~CEnumMediaTypes() override;

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  HRESULT Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) override;
  HRESULT Skip(ULONG cMediaTypes) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumMediaTypes** ppEnum) override;

 private:
  bool OutOfSync() const { return m_Version != m_pPin->GetMediaTypeVersion(); }

  CBasePin* const m_pPin;  // AddRef'd
  int m_Position = 0;
  LONG m_Version;
};

class CBaseInputPin : public CBasePin, public IMemInputPin {
 public:
  CBaseInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                LPCWSTR name);
  ~CBaseInputPin() override;

  // IMemInputPin, then the pin's interfaces.
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    return CBasePin::QueryInterface(riid, ppv);
  }
  ULONG AddRef() override { return CBasePin::AddRef(); }
  ULONG Release() override { return CBasePin::Release(); }

  // A CMemAllocator made on first request, unless one was notified.
  HRESULT GetAllocator(IMemAllocator** ppAllocator) override;
  HRESULT NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) override;
  // E_NOTIMPL: no requirements.
  HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) override;
  // The streaming checks and the type-change check; derived pins call this first and handle
  // the sample only when it returns S_OK.
  HRESULT Receive(IMediaSample* pSample) override;
  HRESULT ReceiveMultiple(IMediaSample** pSamples, LONG nSamples, LONG* nSamplesProcessed) override;
  HRESULT ReceiveCanBlock() override;

  // Flushing: Receive answers S_FALSE between BeginFlush and EndFlush.
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

  // S_OK when a sample may be processed now: VFW_E_NOT_CONNECTED, VFW_E_WRONG_STATE when
  // stopped, S_FALSE while flushing, VFW_E_RUNTIME_ERROR after a streaming error.
  virtual HRESULT CheckStreaming();
  // Stopping decommits the allocator (waking an upstream thread blocked in GetBuffer) and ends
  // any flush.
  HRESULT Inactive() override;
  bool IsFlushing() const { return m_bFlushing; }
  bool IsReadOnly() const { return m_bReadOnly; }

 protected:
  HRESULT BreakConnect() override;

  IMemAllocator* m_pAllocator = nullptr;  // AddRef'd; guarded by m_pLock
  bool m_bReadOnly = false;               // guarded by m_pLock
  std::atomic<bool> m_bFlushing{false};   // written under m_pLock
};

class CBaseOutputPin : public CBasePin {
 public:
  CBaseOutputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                 LPCWSTR name);
  ~CBaseOutputPin() override;

  // Must set the allocator's properties (from `pProp`, which carries the input pin's
  // requirements) and check what was granted; a failure refuses the connection.
  virtual HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) = 0;
  // Tries the input pin's allocator, then our own (InitAllocator), each with DecideBufferSize.
  virtual HRESULT DecideAllocator(IMemInputPin* pPin, IMemAllocator** ppAlloc);
  virtual HRESULT InitAllocator(IMemAllocator** ppAlloc);

  // A free buffer of the allocator (blocking; see CBaseAllocator::GetBuffer).
  virtual HRESULT GetDeliveryBuffer(IMediaSample** ppSample, REFERENCE_TIME* pStartTime,
                                    REFERENCE_TIME* pEndTime, DWORD dwFlags);
  // Hands a sample to the connected input pin; its answer is returned.
  virtual HRESULT Deliver(IMediaSample* pSample);
  virtual HRESULT DeliverEndOfStream();
  virtual HRESULT DeliverBeginFlush();
  virtual HRESULT DeliverEndFlush();
  virtual HRESULT DeliverNewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate);

  // Output pins take no stream calls: E_UNEXPECTED.
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

  HRESULT CheckConnect(IPin* pPin) override;
  HRESULT CompleteConnect(IPin* pReceivePin) override;
  HRESULT BreakConnect() override;
  // Commit / decommit the allocator (VFW_E_NO_ALLOCATOR without one).
  HRESULT Active() override;
  HRESULT Inactive() override;

 protected:
  // Sizes the allocator (DecideBufferSize) and hands it to the input pin; releases it on failure.
  HRESULT OfferAllocator(IMemInputPin* pPin, IMemAllocator** ppAlloc, ALLOCATOR_PROPERTIES* pProps);

  // The connection's allocator and input pin: set while connecting (stopped), read by the
  // streaming thread.
  IMemAllocator* m_pAllocator = nullptr;  // AddRef'd
  IMemInputPin* m_pInputPin = nullptr;    // AddRef'd
};
