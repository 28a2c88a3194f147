// Push sources: a filter whose output pins each own a streaming thread that fills and delivers
// samples until it is told to stop.
//
// Classes:
//   CSource        the filter: holds the streams (output pins) and the state lock. Derive from
//                  it; create the streams in the constructor (each adds itself). May override
//                  Stop/Pause/Run (call the base) and add interfaces (IFileSourceFilter ...).
//   CSourceStream  an output pin with a streaming thread. Must override FillBuffer (fill one
//                  sample: S_OK delivers it, S_FALSE ends the stream with end-of-stream, any
//                  other success code says nothing is there yet (the sample goes back and
//                  WaitForData runs before the next try), a failure ends the stream with
//                  end-of-stream and EC_ERRORABORT), DecideBufferSize and GetMediaType (one
//                  type: GetMediaType(CMediaType*); several: the positional form and
//                  CheckMediaType). May override OnThreadCreate, OnThreadDestroy,
//                  OnThreadStartPlay (before each run of the loop, e.g. DeliverNewSegment),
//                  WaitForData (for sources fed from elsewhere, e.g. the network) and
//                  DoBufferProcessingLoop (the whole push loop, for sources that pace
//                  differently; it must leave on CMD_STOP and Reply to every other command).
//
// Thread: Pause from Stopped commits the allocator, starts the thread (CMD_INIT runs
// OnThreadCreate) and sends CMD_PAUSE, which starts the push loop. Stop decommits the allocator
// first, so a thread blocked in GetDeliveryBuffer wakes, then sends CMD_STOP and CMD_EXIT and
// joins the thread. The filter lock is held throughout, so FillBuffer and the loop must never
// take it. Filters downstream are stopped before their source (as a graph stops filters), so a
// Deliver blocked downstream returns before the source waits for its thread. A source is
// stopped before its last reference goes.
#pragma once

#include <vector>

#include "AMThread.h"
#include "Filter.h"

class CSourceStream;

class CSource : public CBaseFilter {
 public:
  CSource(const char* name, IUnknown* outer, REFCLSID clsid);
  // Deletes the streams.
  ~CSource() override;

  int GetPinCount() override;
  CBasePin* GetPin(int n) override;

  // Streams register themselves on construction and leave on destruction.
  HRESULT AddPin(CSourceStream* stream);
  HRESULT RemovePin(CSourceStream* stream);
  // The index of `pin` among the streams, or -1.
  int FindPinNumber(IPin* pin);

 protected:
  CCritSec m_cStateLock;  // the filter lock
  // Changed only while the filter is being built or destroyed.
  std::vector<CSourceStream*> m_paStreams;
};

class CSourceStream : public CAMThread, public CBaseOutputPin {
 public:
  CSourceStream(const char* objectName, HRESULT* phr, CSource* filter, LPCWSTR name);
  ~CSourceStream() override;

  // Commands of the streaming thread.
  enum Command : DWORD { CMD_INIT, CMD_PAUSE, CMD_RUN, CMD_STOP, CMD_EXIT };

  // Starts the thread (from Stopped) and its push loop.
  HRESULT Active() override;
  // Decommits, then stops and joins the thread.
  HRESULT Inactive() override;

  // S_OK only for the type GetMediaType(CMediaType*) gives.
  HRESULT CheckMediaType(const CMediaType* pMediaType) override;
  // Position 0 is GetMediaType(CMediaType*); E_INVALIDARG below 0, VFW_S_NO_MORE_ITEMS above.
  HRESULT GetMediaType(int position, CMediaType* pMediaType) override;
  // The single type of a one-type stream. The base has none (E_UNEXPECTED).
  virtual HRESULT GetMediaType(CMediaType* pMediaType);

 protected:
  virtual HRESULT FillBuffer(IMediaSample* pSample) = 0;
  virtual HRESULT OnThreadCreate() { return S_OK; }
  virtual HRESULT OnThreadDestroy() { return S_OK; }
  virtual HRESULT OnThreadStartPlay() { return S_OK; }
  // After FillBuffer found nothing to deliver: waits until data may be there. It must return
  // soon after a command is sent, since the loop looks for commands only between fills. The
  // base sleeps 1 ms.
  virtual void WaitForData();
  // Gets, fills and delivers samples until a command arrives (Run and Pause are answered and
  // the loop goes on; Stop ends it) or the stream ends. A failed GetDeliveryBuffer (allocator
  // decommitted on the way to Stop) is retried after 1 ms.
  virtual HRESULT DoBufferProcessingLoop();

  DWORD ThreadProc() override;
  Command GetRequest() { return static_cast<Command>(CAMThread::GetRequest()); }
  bool CheckRequest(Command* command);

  HRESULT Init() { return static_cast<HRESULT>(CallWorker(CMD_INIT)); }
  HRESULT Exit() { return static_cast<HRESULT>(CallWorker(CMD_EXIT)); }
  HRESULT Run() { return static_cast<HRESULT>(CallWorker(CMD_RUN)); }
  HRESULT Pause() { return static_cast<HRESULT>(CallWorker(CMD_PAUSE)); }
  HRESULT Stop() { return static_cast<HRESULT>(CallWorker(CMD_STOP)); }
  using CBaseOutputPin::Run;

  CSource* const m_pSourceFilter;
};
