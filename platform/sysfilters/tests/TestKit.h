// A small harness for filter tests: sources that push synthetic planar YUV pictures or PCM
// audio, a sink that records what reaches it, a graph stand-in that collects events, and
// helpers to connect pins and change the state of hand-wired filters (sinks first, as a graph
// does).
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "ComPtr.h"
#include "Renderer.h"
#include "Source.h"
#include "YuvPlanes.h"

namespace filter_test {

using namespace std::chrono_literals;

// Bound for anything that should happen "soon" on another thread.
constexpr auto kWait = 10s;
constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;
constexpr REFERENCE_TIME kFrameDuration = 400000;  // 40 ms: 25 frames per second

// Collects events; answers the few graph calls a filter makes.
class EventGraph final : public IFilterGraph, public IMediaEventSink {
 public:
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

  // Waits up to kWait for the `count`th event with `code`.
  bool WaitFor(LONG code, int count = 1);
  int Count(LONG code);

 private:
  std::mutex m_lock;
  std::condition_variable m_arrived;
  std::vector<LONG> m_codes;  // guarded by m_lock
};

using PaintPicture = std::function<void(YuvPlanes& picture, int frame)>;
// The default picture: a gradient that moves with the frame number.
void PaintGradient(YuvPlanes& picture, int frame);

struct VideoSourceOptions {
  int frames = 25;
  int width = 176;
  int height = 144;
  GUID subtype = MEDIASUBTYPE_YV12;
  REFERENCE_TIME frameDuration = kFrameDuration;
  PaintPicture paint = nullptr;  // default: a moving gradient
};

class VideoSource final : public CSource {
 public:
  explicit VideoSource(const VideoSourceOptions& options);
  CBasePin* Output() { return GetPin(0); }
};

struct AudioSourceOptions {
  int buffers = 25;
  int sampleRate = 8000;
  int channels = 1;
  REFERENCE_TIME bufferDuration = kFrameDuration;
  int skipFrom = -1;  // buffers skipFrom .. skipFrom+skipCount-1 are lost (their times pass)
  int skipCount = 0;
};

class AudioSource final : public CSource {
 public:
  explicit AudioSource(const AudioSourceOptions& options);
  CBasePin* Output() { return GetPin(0); }
};

// Accepts `accepted` (any type when it is MEDIATYPE_NULL) and keeps what arrives.
class CaptureSink final : public CBaseRenderer {
 public:
  explicit CaptureSink(const GUID& accepted);

  HRESULT CheckMediaType(const CMediaType* pmt) override;
  HRESULT DoRenderSample(IMediaSample* pSample) override;
  CBasePin* Input() { return GetPin(0); }

  int Count();
  std::vector<BYTE> First();
  CMediaType Type() { return m_pInputPin->CurrentMediaType(); }

 private:
  const GUID m_accepted;
  std::mutex m_lock;
  int m_count = 0;            // guarded by m_lock
  std::vector<BYTE> m_first;  // guarded by m_lock
};

// Holds a newly made filter (reference count 0) by its IBaseFilter.
ComPtr<IBaseFilter> Hold(CUnknown* filter);
// The pin at `index` of `filter`, in its own order.
ComPtr<IPin> PinAt(IBaseFilter* filter, int index);
HRESULT Connect(IPin* output, IPin* input);
// Pauses then runs `filters` (give them sinks first) with stream time 0 now on `clock` (0 when
// there is none); every filter gets `clock` as its sync source.
void RunAll(std::initializer_list<IBaseFilter*> filters, IReferenceClock* clock);
// Stops `filters` (sinks first) and disconnects every pin among them: connected pins hold each
// other's filters, so hand-wired filters are only freed once disconnected.
void StopAll(std::initializer_list<IBaseFilter*> filters);

}  // namespace filter_test

namespace filter_test {

// What an application does to find a filter: enumerate `category` with the system device
// enumerator, match "FriendlyName" exactly, create the class its "CLSID" names through COM.
ComPtr<IBaseFilter> CreateByFriendlyName(const GUID& category, const std::u16string& name);

}  // namespace filter_test
