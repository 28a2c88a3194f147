// Transform filters: one input pin, one output pin, one output sample made from each input
// sample on the upstream filter's thread.
//
// Classes:
//   CTransformFilter      the filter. Derive from it. Must override CheckInputType (accept an
//                         input type), CheckTransform (input type → output type possible?),
//                         DecideBufferSize (output allocator), GetMediaType (output types
//                         offered once the input is connected) and Transform (fill the output
//                         sample from the input: S_OK delivers, S_FALSE skips the sample). May
//                         override StartStreaming/StopStreaming (on Pause from Stopped and on
//                         Stop), SetMediaType, CheckConnect, BreakConnect, CompleteConnect,
//                         EndOfStream, BeginFlush, EndFlush, NewSegment, Receive (to deliver more
//                         or fewer samples than arrive).
//   CTransformInputPin    the input pin: forwards its hooks to the filter.
//   CTransformOutputPin   the output pin: forwards its hooks to the filter; offers types only
//                         while the input is connected. Answers IMediaSeeking and
//                         IMediaPosition by passing them to the filter upstream of the input, so
//                         that a renderer downstream reaches the source's duration and position.
//
// Locks: m_csFilter is the filter lock (state, connections, flushing); m_csReceive is the
// streaming lock, held for each Receive and EndOfStream. Order: m_csFilter → m_csReceive. Stop
// decommits the input allocator before taking m_csReceive, so a streaming thread blocked upstream
// cannot hold it up; flushing takes only m_csFilter, so it can reach a Receive blocked downstream.
#pragma once

#include "Filter.h"

class CTransformFilter;

class CTransformInputPin : public CBaseInputPin {
 public:
  CTransformInputPin(const char* objectName, CTransformFilter* filter, HRESULT* phr, LPCWSTR name);

  HRESULT CheckConnect(IPin* pPin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* pReceivePin) override;
  HRESULT CheckMediaType(const CMediaType* mtIn) override;
  HRESULT SetMediaType(const CMediaType* mt) override;

  HRESULT Receive(IMediaSample* pSample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

 private:
  CTransformFilter* const m_pTransformFilter;
};

class CTransformOutputPin : public CBaseOutputPin {
 public:
  CTransformOutputPin(const char* objectName, CTransformFilter* filter, HRESULT* phr, LPCWSTR name);
  ~CTransformOutputPin() override;

  // IMediaSeeking and IMediaPosition from the pass-through; the rest as the base pin.
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  HRESULT CheckConnect(IPin* pPin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* pReceivePin) override;
  HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override;
  // Refuses every type while the input is not connected (E_UNEXPECTED).
  HRESULT CheckMediaType(const CMediaType* mtOut) override;
  HRESULT SetMediaType(const CMediaType* mt) override;
  // None while the input is not connected (VFW_S_NO_MORE_ITEMS).
  HRESULT GetMediaType(int position, CMediaType* pMediaType) override;

 private:
  CTransformFilter* const m_pTransformFilter;
  IUnknown* m_pPosition = nullptr;  // the pass-through's inner unknown, made on demand; m_pLock
};

class CTransformFilter : public CBaseFilter {
 public:
  CTransformFilter(const char* name, IUnknown* outer, REFCLSID clsid);
  ~CTransformFilter() override;

  // Two pins, input first; both are created on the first request.
  int GetPinCount() override;
  CBasePin* GetPin(int n) override;
  HRESULT FindPin(LPCWSTR Id, IPin** ppPin) override;

  HRESULT Stop() override;
  HRESULT Pause() override;

  // Hooks (see the class notes above).
  virtual HRESULT Transform(IMediaSample* pIn, IMediaSample* pOut) = 0;
  virtual HRESULT CheckInputType(const CMediaType* mtIn) = 0;
  virtual HRESULT CheckTransform(const CMediaType* mtIn, const CMediaType* mtOut) = 0;
  virtual HRESULT DecideBufferSize(IMemAllocator* pAllocator, ALLOCATOR_PROPERTIES* pProp) = 0;
  virtual HRESULT GetMediaType(int position, CMediaType* pMediaType) = 0;
  virtual HRESULT StartStreaming() { return S_OK; }
  virtual HRESULT StopStreaming() { return S_OK; }
  virtual HRESULT SetMediaType(PIN_DIRECTION, const CMediaType*) { return S_OK; }
  virtual HRESULT CheckConnect(PIN_DIRECTION, IPin*) { return S_OK; }
  virtual HRESULT BreakConnect(PIN_DIRECTION) { return S_OK; }
  virtual HRESULT CompleteConnect(PIN_DIRECTION, IPin*) { return S_OK; }

  // Streaming (m_csReceive held by the input pin): one output sample per input sample.
  virtual HRESULT Receive(IMediaSample* pSample);
  virtual HRESULT EndOfStream();
  virtual HRESULT BeginFlush();
  virtual HRESULT EndFlush();
  virtual HRESULT NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate);

 protected:
  // An output buffer carrying the input sample's times, media times and flags.
  HRESULT InitializeOutputSample(IMediaSample* pSample, IMediaSample** ppOutSample);
  // The pins are made here; derived classes may make their own derived pins instead.
  virtual HRESULT CreatePins();

  friend class CTransformInputPin;
  friend class CTransformOutputPin;

  CCritSec m_csFilter;   // the filter lock
  CCritSec m_csReceive;  // the streaming lock; after m_csFilter
  CTransformInputPin* m_pInput = nullptr;    // owned; created under m_csFilter
  CTransformOutputPin* m_pOutput = nullptr;  // owned; created under m_csFilter
  bool m_bEOSDelivered = false;  // guarded by m_csFilter: end of stream sent for a dead input
  // The next output sample is a discontinuity; written by Receive (m_csReceive) and Pause.
  std::atomic<bool> m_bSampleSkipped{false};
};
