// The ASF writer filter: two input pins, "Video In" (uncompressed video) and "Audio In" (PCM),
// encoded and written into one ASF file by the writer context. Configured through
// IWmSinkConfig (before the pins connect) and IFileSinkFilter; writing starts when the filter
// leaves Stopped and ends when it returns there.
//
// Classes:
//   CWmSinkFilter    the filter (CBaseFilter), IFileSinkFilter, IWmSinkConfig; seeking
//                    (IMediaSeeking, IMediaPosition) passes through the video pin upstream.
//   CWmSinkInputPin  one input (CBaseInputPin): checks types, configures its writer input on
//                    connection, writes samples, and reports its end of stream.
//
// Locks, outermost first: the filter lock (state changes, flushing, connections) → a pin's
// receive lock (its Receive and EndOfStream) → the writer context's lock. The completion lock
// is a leaf guarding the end-of-stream bookkeeping of both pins. The writer context's lock is
// never held while another is taken.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "Filter.h"
#include "Seeking.h"
#include "WmWriterContext.h"
#include "wmsink/WmSinkConfig.h"

class CWmSinkFilter;

class CWmSinkInputPin final : public CBaseInputPin {
 public:
  CWmSinkInputPin(CWmSinkFilter* filter, CCritSec* lock, HRESULT* phr, SinkInput input);

  HRESULT CheckMediaType(const CMediaType* pmt) override;
  HRESULT CompleteConnect(IPin* pReceivePin) override;
  HRESULT Receive(IMediaSample* pSample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT Active() override;
  HRESULT Run(REFERENCE_TIME tStart) override;

  // Guarded by the filter's completion lock.
  bool m_bEndOfStream = false;
  bool m_bCompletionNotified = false;

 private:
  HRESULT WriteSample(IMediaSample* pSample);
  HRESULT WriteVideo(WmWriterContext& context, IMediaSample* pSample, REFERENCE_TIME start,
                     DWORD flags);

  CWmSinkFilter* const m_pSink;
  const SinkInput m_input;
  CCritSec m_receiveLock;  // serialises Receive and EndOfStream
};

class CWmSinkFilter final : public CBaseFilter, public IFileSinkFilter, public IWmSinkConfig {
 public:
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);
  ~CWmSinkFilter() override;

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  int GetPinCount() override { return kPinCount; }
  CBasePin* GetPin(int n) override;
  HRESULT Pause() override;
  HRESULT Stop() override;

  // IFileSinkFilter
  HRESULT SetFileName(LPCOLESTR pszFileName, const AM_MEDIA_TYPE* pmt) override;
  HRESULT GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt) override;

  // IWmSinkConfig
  HRESULT SetConfig(WmSinkConfig* config) override;
  HRESULT GetWrittenFrames(DWORD expected, DWORD* written) override;

  WmWriterContext& Context() { return m_context; }
  CWmSinkInputPin* InputPin(SinkInput input) const;
  // Sends EC_COMPLETE once every connected pin has ended, once per run, unless writing failed.
  void CheckCompletion();
  // Writing failed (a sample, or finishing the file): sends EC_ERRORABORT with `hr`, once per
  // run.
  void AbortWriting(HRESULT hr);
  std::mutex& CompletionLock() { return m_completionLock; }

  static constexpr int kPinCount = 2;

 private:
  CWmSinkFilter(IUnknown* outer, HRESULT* phr);
  HRESULT SeekingInterface(REFIID riid, void** ppv);

  CCritSec m_filterLock;
  std::mutex m_completionLock;  // leaf; guards the pins' end-of-stream flags and m_writeError
  HRESULT m_writeError = S_OK;  // the first writing failure of this run
  WmWriterContext m_context;
  std::unique_ptr<CWmSinkInputPin> m_pVideo;
  std::unique_ptr<CWmSinkInputPin> m_pAudio;
  std::unique_ptr<CPosPassThru> m_pPosition;  // made on first request; guarded by m_filterLock
};
