// A tiny hand-wired graph for the base-class tests: a source that pushes numbered samples, a
// transform that adds 1000 to each number, a sink that records what reaches it, and a graph
// object that collects events. Filters are connected pin to pin, without a graph manager.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

#include "ComPtr.h"
#include "Renderer.h"
#include "Source.h"
#include "Transform.h"

namespace dshow_test {

using namespace std::chrono_literals;

// Generous bound for anything that should happen "soon" on another thread.
constexpr auto kWait = 5s;
constexpr REFERENCE_TIME kFrameTime = 400000;  // 40 ms
constexpr int kSyncEvery = 5;                  // every fifth sample is a sync point
constexpr LONG kTransformOffset = 1000;        // what the transform adds to each number

DEFINE_GUID(CLSID_TestSource, 0x5E0C1A01, 0x1111, 0x4A4A, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x01);
DEFINE_GUID(CLSID_TestTransform, 0x5E0C1A01, 0x1111, 0x4A4A, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x00, 0x02);
DEFINE_GUID(CLSID_TestSink, 0x5E0C1A01, 0x1111, 0x4A4A, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x03);

// The one video type the test filters speak: 16 × 16 RGB32 with a VIDEOINFOHEADER.
CMediaType TestVideoType();

// Collects events; answers the few graph calls a filter makes.
class TestGraph final : public IFilterGraph, public IMediaEventSink {
 public:
  struct Event {
    LONG code;
    LONG_PTR param1;
    LONG_PTR param2;
  };

  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override { return 2; }  // lives on the test's stack
  ULONG Release() override { return 1; }

  HRESULT AddFilter(IBaseFilter*, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
  HRESULT EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
  HRESULT FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
  HRESULT ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT Reconnect(IPin*) override { return E_NOTIMPL; }
  HRESULT Disconnect(IPin*) override { return E_NOTIMPL; }
  HRESULT SetDefaultSyncSource() override { return E_NOTIMPL; }

  HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override;

  // The first event with `code`, waiting up to kWait for it.
  bool WaitFor(LONG code, Event* event = nullptr);
  // Waits up to kWait until `count` events with `code` have come.
  bool WaitForCount(LONG code, int count);
  int Count(LONG code);

 private:
  std::mutex m_lock;
  std::condition_variable m_arrived;
  std::vector<Event> m_events;  // guarded by m_lock
};

struct SourceOptions {
  int sampleCount = -1;        // samples before the stream ends; -1: endless
  int failAt = -1;             // FillBuffer fails (E_FAIL) at this number; -1: never
  LONG buffers = 4;
  LONG bufferSize = 64;
};

class NumberStream : public CSourceStream {
 public:
  NumberStream(CSource* filter, HRESULT* phr, const SourceOptions& options);

  HRESULT GetMediaType(CMediaType* pMediaType) override;
  HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override;
  int Filled() const { return m_next; }
  using CSourceStream::GetMediaType;
  using CSourceStream::ThreadExists;

 protected:
  HRESULT FillBuffer(IMediaSample* pSample) override;
  HRESULT OnThreadStartPlay() override;

 private:
  const SourceOptions m_options;
  std::atomic<int> m_next{0};  // written by the streaming thread only
};

class NumberSource : public CSource {
 public:
  explicit NumberSource(const SourceOptions& options);
  NumberStream* Stream() { return static_cast<NumberStream*>(m_paStreams.front()); }
};

struct TransformOptions {
  bool refuseInput = false;
  LONG outputAlign = 1;  // not a power of two: the allocator refuses
};

class AddingTransform : public CTransformFilter {
 public:
  explicit AddingTransform(const TransformOptions& options);

  HRESULT Transform(IMediaSample* pIn, IMediaSample* pOut) override;
  HRESULT CheckInputType(const CMediaType* mtIn) override;
  HRESULT CheckTransform(const CMediaType* mtIn, const CMediaType* mtOut) override;
  HRESULT DecideBufferSize(IMemAllocator* pAllocator, ALLOCATOR_PROPERTIES* pProp) override;
  HRESULT GetMediaType(int position, CMediaType* pMediaType) override;
  CBasePin* Input() { return GetPin(0); }
  CBasePin* Output() { return GetPin(1); }

 private:
  const TransformOptions m_options;
};

struct Received {
  LONG number;
  LONG length;
  REFERENCE_TIME start;
  REFERENCE_TIME stop;
  bool sync;
  bool discontinuity;
};

class CollectingSink : public CBaseRenderer {
 public:
  explicit CollectingSink(bool refuseAll = false);
  ~CollectingSink() override;

  HRESULT CheckMediaType(const CMediaType* pmt) override;
  HRESULT DoRenderSample(IMediaSample* pSample) override;
  CBasePin* Input() { return GetPin(0); }

  // Keep every rendered sample (so its allocator runs dry) until ReleaseHeld.
  void HoldSamples(bool hold);
  void ReleaseHeld();
  bool WaitForCount(size_t count);
  // Until a sample starting at `start` has been rendered.
  bool WaitForStart(REFERENCE_TIME start);
  std::vector<Received> Samples();

 private:
  const bool m_refuseAll;
  std::mutex m_lock;
  std::condition_variable m_arrived;
  std::vector<Received> m_samples;     // guarded by m_lock
  std::vector<IMediaSample*> m_held;   // guarded by m_lock
  bool m_hold = false;                 // guarded by m_lock
};

// Holds a filter by its IBaseFilter (the filters above start with no reference).
template <typename T>
ComPtr<IBaseFilter> Hold(T* filter) {
  ComPtr<IBaseFilter> held;
  filter->NonDelegatingQueryInterface(IID_IBaseFilter, held.ReleaseAndGetVoidAddress());
  return held;
}

// Runs `call` on another thread and waits for it; a call that hangs (kWait) aborts the test
// program with `what`, since nothing after a deadlock could be trusted.
void MustReturn(const char* what, const std::function<void()>& call);

}  // namespace dshow_test
