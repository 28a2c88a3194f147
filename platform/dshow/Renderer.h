// Renderers and sinks: a filter with one input pin that consumes samples at their presentation
// time and reports the end of the stream to the graph.
//
// Classes:
//   CBaseRenderer      the filter. Derive from it. Must override CheckMediaType (input types
//                      accepted) and DoRenderSample (consume one sample, on the upstream
//                      thread). May override SetMediaType, CompleteConnect, BreakConnect,
//                      OnStartStreaming / OnStopStreaming (Pause from Stopped / Stop),
//                      OnReceiveFirstSample (the sample held while paused, e.g. to show a still),
//                      Receive and EndOfStream (call the base).
//   CRendererInputPin  the input pin ("In"): forwards its hooks to the filter.
//   CRenderedInputPin  an input pin for sinks built on CBaseFilter directly (several inputs,
//                      own Receive): it reports EC_COMPLETE to the graph once per run, when the
//                      filter runs and the pin has seen end of stream. Derive from it; override
//                      Receive and CheckMediaType. Run, Active and EndFlush reset the state and
//                      call the base; a filter with several inputs may override
//                      DoCompleteHandling to report only when all of them have ended.
//
// Behaviour:
//   - Paused: the first sample is held (Receive blocks) until the filter runs, stops or is
//     flushed; GetState answers VFW_S_STATE_INTERMEDIATE until a sample or end of stream has
//     arrived.
//   - Running: with a clock (SetSyncSource) a sample with a start time waits until the clock
//     reaches the run's start time plus the sample's start; without a clock, or for samples
//     without times, it is rendered at once.
//   - End of stream: EC_COMPLETE (S_OK, the filter) goes to the graph once per run, as soon as
//     the filter runs with the end of stream received. A flush or Stop clears it.
//   - Stop and BeginFlush release a Receive waiting in the renderer; it returns S_OK without
//     rendering.
//   - IMediaSeeking and IMediaPosition are answered by a CRendererPosPassThru aggregated into
//     the filter: calls go upstream, the current position is the last rendered sample's start.
//
// Locks: m_InterfaceLock is the filter lock; m_sampleLock (a leaf, never held while calling out)
// guards the streaming flags below and is what a waiting Receive sleeps on.
#pragma once

#include <condition_variable>
#include <mutex>

#include "Filter.h"
#include "Seeking.h"

class CBaseRenderer;

class CRendererInputPin : public CBaseInputPin {
 public:
  CRendererInputPin(CBaseRenderer* renderer, HRESULT* phr, LPCWSTR name);

  HRESULT Receive(IMediaSample* pSample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT CheckMediaType(const CMediaType* pmt) override;
  HRESULT SetMediaType(const CMediaType* pmt) override;
  HRESULT CompleteConnect(IPin* pReceivePin) override;
  HRESULT BreakConnect() override;

 private:
  CBaseRenderer* const m_pRenderer;
};

class CRenderedInputPin : public CBaseInputPin {
 public:
  CRenderedInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                    LPCWSTR name);

  // The streaming check; then the end of stream is recorded and, if the filter runs, reported.
  // Takes the filter lock, so that a Run in progress is seen whole: a derived pin may call it
  // holding its own streaming lock, and must then never take that lock under the filter lock.
  HRESULT EndOfStream() override;
  // Clears the end of stream: a flushed stream may end again.
  HRESULT EndFlush() override;
  // A new start (from Stopped) clears both flags.
  HRESULT Active() override;
  // A new run may report again; an end of stream received while paused is reported now.
  HRESULT Run(REFERENCE_TIME tStart) override;

 protected:
  // Sends EC_COMPLETE (S_OK, the filter) unless it was sent in this run.
  virtual void DoCompleteHandling();

  std::atomic<bool> m_bAtEndOfStream{false};
  std::atomic<bool> m_bCompleteNotified{false};
};

class CBaseRenderer : public CBaseFilter {
 public:
  CBaseRenderer(REFCLSID clsid, const char* name, IUnknown* outer, HRESULT* phr);
  ~CBaseRenderer() override;

  // IMediaSeeking and IMediaPosition (the pass-through, made on first request), then the base.
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override;

  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME tStart) override;
  // Paused without a sample or end of stream yet: waits up to dwMSecs, then
  // VFW_S_STATE_INTERMEDIATE.
  HRESULT GetState(DWORD dwMSecs, FILTER_STATE* State) override;

  // Hooks.
  virtual HRESULT CheckMediaType(const CMediaType* pmt) = 0;
  virtual HRESULT DoRenderSample(IMediaSample* pSample) = 0;
  virtual HRESULT SetMediaType(const CMediaType*) { return S_OK; }
  virtual HRESULT CompleteConnect(IPin*) { return S_OK; }
  virtual HRESULT BreakConnect() { return S_OK; }
  virtual HRESULT OnStartStreaming() { return S_OK; }
  virtual HRESULT OnStopStreaming() { return S_OK; }
  virtual void OnReceiveFirstSample(IMediaSample*) {}

  // Streaming, from the input pin.
  virtual HRESULT Receive(IMediaSample* pSample);
  virtual HRESULT EndOfStream();
  virtual HRESULT BeginFlush();
  virtual HRESULT EndFlush();

 protected:
  // Blocks until `pSample` is due (S_OK) or the wait is abandoned by Stop or a flush (S_FALSE).
  HRESULT WaitForRenderTime(IMediaSample* pSample);
  // Wakes waiting Receives after a state change (m_State is written before).
  void WakeStreaming();
  // Sends EC_COMPLETE if the stream has ended, the filter runs and it was not sent yet.
  void DeliverCompletionIfDue();
  // Lets go of the sample a paused renderer holds: its Receive returns without rendering it
  // (waits up to two seconds for that). For stepping, where the held sample is already shown or
  // is not to be presented.
  void ReleaseHeldSample();

  CCritSec m_InterfaceLock;  // the filter lock
  CRendererInputPin* m_pInputPin = nullptr;  // owned; created on first GetPin
  // The seeking pass-through: its inner unknown (owned; made under m_InterfaceLock) and the
  // object itself, read by the streaming thread to record sample times.
  IUnknown* m_pPosition = nullptr;
  std::atomic<CRendererPosPassThru*> m_pRendererPosition{nullptr};

  std::mutex m_sampleLock;
  std::condition_variable m_wake;  // state changes, flushes
  bool m_bHaveSample = false;      // guarded by m_sampleLock: a Receive is in progress
  bool m_bEOS = false;             // guarded by m_sampleLock: end of stream received
  bool m_bEOSDelivered = false;    // guarded by m_sampleLock: EC_COMPLETE sent for it
  bool m_bAbort = false;           // guarded by m_sampleLock: flushing; waiting Receives leave
  CAMEvent m_evComplete{EventReset::Manual};  // set once a pause has a sample or end of stream
};
