// The filter graph manager (CLSID_FilterGraph).
//
// Interfaces and where they are implemented:
//   IFilterGraph / IGraphBuilder   membership (GraphMembership.cc), connection and rendering
//                                  through the mapper (GraphBuilder.cc), RenderFile
//                                  (GraphRenderFile.cc with SourceSelector.h)
//   IMediaControl, IMediaFilter    state changes over every filter, renderers and sinks first,
//                                  and the choice of the reference clock (GraphControl.cc)
//   IMediaEventEx, IMediaEventSink events (GraphEvents.h)
//   IMediaSeeking                  aggregated over the filters (GraphSeeking.cc)
//   IBasicVideo, IBasicAudio, IVideoWindow, IVideoFrameStep
//                                  forwarded to the first filter that implements them, E_NOINTERFACE
//                                  from every method when none does; a Step also has the other
//                                  renderers follow it (FrameStepFollower.h) (GraphForwarding.cc)
//
// The graph holds a reference to each filter it contains; a filter keeps its graph without one.
// Destroying the graph stops it and removes every filter.
//
// Locks: m_lock (the graph lock) guards the filter list, the state, the clock and the run
// times; state changes and graph building hold it while they call into filters. The event
// queue has its own leaf lock (GraphEvents.h), so filters may send events from their streaming
// threads while a state change holds the graph lock.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "ComBase.h"
#include "ComPtr.h"
#include "FilterData.h"
#include "FilterRegistry.h"
#include "GraphEvents.h"
#include "GraphInterfaces.h"
#include "Sync.h"

class FilterGraph final : public CUnknown,
                          public IGraphBuilder,
                          public IMediaControl,
                          public IMediaEventEx,
                          public IMediaEventSink,
                          public IMediaSeeking,
                          public IMediaFilter,
                          public IBasicAudio,
                          public IBasicVideo,
                          public IVideoWindow,
                          public IVideoFrameStep {
 public:
  FilterGraph();
  ~FilterGraph() override;
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  DECLARE_NO_DISPATCH

  // IFilterGraph.
  // A name already used gets " 0001" (and so on) appended: VFW_S_DUPLICATE_NAME.
  HRESULT AddFilter(IBaseFilter* pFilter, LPCWSTR pName) override;
  // Disconnects the filter's pins first; VFW_E_NOT_STOPPED while the graph is not stopped.
  HRESULT RemoveFilter(IBaseFilter* pFilter) override;
  HRESULT EnumFilters(IEnumFilters** ppEnum) override;
  // VFW_E_NOT_FOUND when no filter has that name (names compare exactly).
  HRESULT FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) override;
  // VFW_E_NOT_IN_GRAPH when a pin's filter is not in this graph.
  HRESULT ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) override;
  HRESULT Reconnect(IPin* ppin) override;
  HRESULT Disconnect(IPin* ppin) override;
  HRESULT SetDefaultSyncSource() override;

  // IGraphBuilder.
  HRESULT Connect(IPin* ppinOut, IPin* ppinIn) override;
  HRESULT Render(IPin* ppinOut) override;
  // VFW_E_UNKNOWN_FILE_TYPE when no source filter claims the file or URL.
  HRESULT RenderFile(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList) override;
  HRESULT AddSourceFilter(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName,
                          IBaseFilter** ppFilter) override;
  HRESULT SetLogFile(DWORD_PTR) override { return S_OK; }
  HRESULT Abort() override;
  HRESULT ShouldOperationContinue() override;

  // IMediaControl.
  HRESULT Run() override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT GetState(LONG msTimeout, OAFilterState* pfs) override;
  HRESULT RenderFile(BSTR strFilename) override;
  HRESULT AddSourceFilter(BSTR, IDispatch**) override { return E_NOTIMPL; }
  HRESULT get_FilterCollection(IDispatch**) override { return E_NOTIMPL; }
  HRESULT get_RegFilterCollection(IDispatch**) override { return E_NOTIMPL; }
  HRESULT StopWhenReady() override;

  // IMediaEvent, IMediaEventEx.
  HRESULT GetEventHandle(OAEVENT* hEvent) override;
  HRESULT GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2,
                   LONG msTimeout) override;
  // VFW_E_WRONG_STATE unless running; E_ABORT on time-out.
  HRESULT WaitForCompletion(LONG msTimeout, LONG* pEvCode) override;
  HRESULT CancelDefaultHandling(LONG lEvCode) override;
  HRESULT RestoreDefaultHandling(LONG lEvCode) override;
  HRESULT FreeEventParams(LONG, LONG_PTR, LONG_PTR) override { return S_OK; }
  HRESULT SetNotifyWindow(OAHWND hwnd, LONG lMsg, LONG_PTR lInstanceData) override;
  HRESULT SetNotifyFlags(LONG lNoNotifyFlags) override;
  HRESULT GetNotifyFlags(LONG* lplNoNotifyFlags) override;

  // IMediaEventSink (from the filters).
  HRESULT Notify(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) override;

  // IMediaFilter (the graph as a whole).
  HRESULT GetClassID(CLSID* pClassID) override;
  HRESULT Run(REFERENCE_TIME tStart) override;
  HRESULT GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) override;
  // Null runs the graph without a clock (as fast as data flows).
  HRESULT SetSyncSource(IReferenceClock* pClock) override;
  HRESULT GetSyncSource(IReferenceClock** pClock) override;

  // IMediaSeeking: times in 100 ns units (TIME_FORMAT_MEDIA_TIME only).
  HRESULT GetCapabilities(DWORD* pCapabilities) override;
  HRESULT CheckCapabilities(DWORD* pCapabilities) override;
  HRESULT IsFormatSupported(const GUID* pFormat) override;
  HRESULT QueryPreferredFormat(GUID* pFormat) override;
  HRESULT GetTimeFormat(GUID* pFormat) override;
  HRESULT IsUsingTimeFormat(const GUID* pFormat) override;
  HRESULT SetTimeFormat(const GUID* pFormat) override;
  // The longest duration a filter reports; E_NOTIMPL when none knows one.
  HRESULT GetDuration(LONGLONG* pDuration) override;
  HRESULT GetStopPosition(LONGLONG* pStop) override;
  // The latest position a renderer or sink reports, else the stream time of the clock.
  HRESULT GetCurrentPosition(LONGLONG* pCurrent) override;
  HRESULT ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat, LONGLONG Source,
                            const GUID* pSourceFormat) override;
  // Passed to every seekable source; a running graph pauses around it and runs on afterwards.
  HRESULT SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop,
                       DWORD dwStopFlags) override;
  HRESULT GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) override;
  HRESULT GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) override;
  HRESULT SetRate(double dRate) override;
  HRESULT GetRate(double* pdRate) override;
  HRESULT GetPreroll(LONGLONG* pllPreroll) override;

  // IBasicAudio, IBasicVideo, IVideoWindow, IVideoFrameStep: forwarded.
#define RECAST_DECLARE_OVERRIDE(name, params, args) HRESULT name params override;
  RECAST_IBASICAUDIO_METHODS(RECAST_DECLARE_OVERRIDE)
  RECAST_IBASICVIDEO_METHODS(RECAST_DECLARE_OVERRIDE)
  RECAST_IVIDEOWINDOW_METHODS(RECAST_DECLARE_OVERRIDE)
  RECAST_IVIDEOFRAMESTEP_METHODS(RECAST_DECLARE_OVERRIDE)
#undef RECAST_DECLARE_OVERRIDE

 private:
  struct Member {
    ComPtr<IBaseFilter> filter;
    std::u16string name;
  };

  // Membership (m_lock held).
  bool ContainsLocked(IBaseFilter* filter) const;
  bool PinInGraphLocked(IPin* pin) const;
  // Both pins present, in this graph, of the right directions, and the graph stopped.
  HRESULT CheckConnectionLocked(IPin* out, IPin* in) const;
  std::u16string UniqueNameLocked(const std::u16string& wanted) const;
  HRESULT AddFilterLocked(IBaseFilter* filter, LPCWSTR name);
  HRESULT RemoveFilterLocked(IBaseFilter* filter);
  // Removes the filters added after the first `count` (a failed building attempt).
  void RollbackLocked(size_t count);
  std::vector<ComPtr<IBaseFilter>> FiltersLocked() const;

  // Building (m_lock held). `depth` bounds chains of intermediate filters.
  // Each building call (Connect, Render, RenderFile) starts with BeginBuildingLocked, so that
  // the registered filters are read once for the whole call rather than for every pin.
  void BeginBuildingLocked() { m_registered.reset(); }
  // Registered filters that could take the pin's output (with an output of their own when
  // `needOutput`), best first.
  std::vector<RegisteredFilter> CandidatesLocked(IPin* out, bool needOutput);
  HRESULT ConnectLocked(IPin* out, IPin* in, int depth);
  HRESULT RenderLocked(IPin* out, int depth);
  // Connects `out` to a free input pin of `filter`.
  HRESULT ConnectToFilterLocked(IPin* out, IBaseFilter* filter);
  // Creates a registered filter and adds it under its friendly name.
  HRESULT AddRegisteredFilterLocked(const CLSID& clsid, const std::u16string& name,
                                    ComPtr<IBaseFilter>& filter);
  // Renders every output pin of `filter`: S_OK, VFW_S_PARTIAL_RENDER or VFW_E_CANNOT_RENDER.
  HRESULT RenderOutputsLocked(IBaseFilter* filter, int depth);
  HRESULT AddSourceFilterLocked(LPCWSTR file, LPCWSTR name, ComPtr<IBaseFilter>& source);

  // State (m_lock held). Filters in the order state changes reach them: downstream first.
  std::vector<ComPtr<IBaseFilter>> StateOrderLocked() const;
  HRESULT PauseLocked();
  HRESULT RunLocked();
  HRESULT StopLocked();
  // The default clock, chosen again on each start unless the application set one.
  void ChooseClockLocked();
  void PrepareRendererPositionsLocked();
  // The stream time now: clock time minus the run's start (0 without a clock).
  REFERENCE_TIME StreamTimeLocked() const;

  // Seeking (m_lock held).
  std::vector<ComPtr<IMediaSeeking>> SeekersLocked(bool sourcesOnly) const;

  // The first filter that implements T (forwarding).
  template <typename T>
  HRESULT FindControl(ComPtr<T>& control);

  mutable CCritSec m_lock;
  std::vector<Member> m_members;  // guarded by m_lock, in the order they were added
  // guarded by m_lock: the registered filters as the current building call read them
  std::optional<std::vector<RegisteredFilter>> m_registered;
  // Written under m_lock; read without it where a long GetState must not hold up the reader.
  std::atomic<FILTER_STATE> m_state{State_Stopped};
  ComPtr<IReferenceClock> m_clock;       // guarded by m_lock
  // guarded by m_lock: the application set the clock (SetSyncSource), so Pause keeps it
  bool m_clockFromApplication = false;
  REFERENCE_TIME m_tStart = 0;           // guarded by m_lock: clock time of stream time 0
  REFERENCE_TIME m_pausedStreamTime = 0;  // guarded by m_lock: where a paused run stood
  double m_rate = 1.0;    // guarded by m_lock
  GraphEvents m_events;
};
