// The GraphTestFilters module: small filters the graph tests and graphplay build graphs from
// (see GraphTestIds.h). Each sample carries its number; times step by the source's step.
#include <charconv>
#include <cstring>
#include <mutex>
#include <string>

#include "MapperRegistration.h"
#include "GraphInterfaces.h"
#include "GraphTestIds.h"
#include "Registration.h"
#include "Registry.h"
#include "RenderStatistics.h"
#include "Renderer.h"
#include "Seeking.h"
#include "Source.h"
#include "Transform.h"
#include "WideString.h"

using namespace graph_test;

namespace {

constexpr LONG kSampleBytes = 64;
constexpr REFERENCE_TIME kUnitsPerMs = 10000;
constexpr LONG kTransformBuffers = 2;

struct SourceOptions {
  int video = kDefaultVideoSamples;
  int audio = kDefaultAudioSamples;
  int buffers = kDefaultBuffers;
  int stepMs = kDefaultStepMs;
};

// "key=N" anywhere in the text; the old value when absent or malformed.
int OptionValue(const std::string& text, const std::string& key, int fallback) {
  const size_t at = text.find(key + "=");
  if (at == std::string::npos) return fallback;
  const char* begin = text.data() + at + key.size() + 1;
  int value = 0;
  auto [end, ec] = std::from_chars(begin, text.data() + text.size(), value);
  return ec == std::errc() && value >= 0 ? value : fallback;
}

SourceOptions ParseOptions(const std::string& text) {
  SourceOptions o;
  o.video = OptionValue(text, "video", o.video);
  o.audio = OptionValue(text, "audio", o.audio);
  o.buffers = std::max(1, OptionValue(text, "buffers", o.buffers));
  o.stepMs = OptionValue(text, "step", o.stepMs);
  return o;
}

class TestSource;

// A stream that can seek: a new start flushes downstream and restarts the push loop at the
// sample due then, with times counted again from 0 (a new segment).
class TestStream final : public CSourceStream, public CSourceSeeking {
 public:
  TestStream(HRESULT* phr, TestSource* filter, LPCWSTR name, const GUID& major, const GUID& sub,
             bool video);

  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IMediaSeeking) return CSourceSeeking::NonDelegatingQueryInterface(riid, ppv);
    return CSourceStream::NonDelegatingQueryInterface(riid, ppv);
  }
  HRESULT GetMediaType(CMediaType* mt) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;
  // The source's options are known: the duration follows from them.
  void Loaded(const SourceOptions& options);

 protected:
  HRESULT FillBuffer(IMediaSample* sample) override;
  HRESULT OnThreadCreate() override;
  HRESULT OnThreadStartPlay() override { return DeliverNewSegment(m_segmentStart, INT64_MAX, 1.0); }
  HRESULT ChangeStart() override;
  HRESULT ChangeStop() override { return S_OK; }
  HRESULT ChangeRate() override { return S_OK; }

 private:
  int SampleCount(const SourceOptions& options) const {
    return m_video ? options.video : options.audio;
  }

  TestSource* const m_source;
  const GUID m_major;
  const GUID m_sub;
  const bool m_video;
  CCritSec m_seekLock;  // serialises seeking; never taken by the streaming thread
  // Written while the streaming thread waits for a command (construction, OnThreadCreate on
  // it, ChangeStart with the thread stopped); read by that thread.
  int m_first = 0;                    // the first sample of the segment
  REFERENCE_TIME m_segmentStart = 0;  // its media time
  int m_sent = 0;                     // samples of the segment delivered
};

class TestSource final : public CSource, public IFileSourceFilter {
 public:
  explicit TestSource(IUnknown* outer) : CSource("Graph Test Source", outer, CLSID_GraphTestSource) {
    HRESULT hr = S_OK;
    new TestStream(&hr, this, u"Video", MEDIATYPE_Video, MEDIASUBTYPE_TestCompressed, true);
    new TestStream(&hr, this, u"Audio", MEDIATYPE_Audio, MEDIASUBTYPE_TestPcm, false);
  }
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT*) { return new TestSource(outer); }

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IFileSourceFilter) return GetInterface(static_cast<IFileSourceFilter*>(this), ppv);
    return CSource::NonDelegatingQueryInterface(riid, ppv);
  }

  HRESULT Load(LPCOLESTR name, const AM_MEDIA_TYPE*) override {
    if (!name) return E_POINTER;
    const SourceOptions options = ParseOptions(WideToUtf8(name));
    {
      std::lock_guard lock(m_optionsLock);
      m_name = name;
      m_options = options;
    }
    for (CSourceStream* stream : m_paStreams) static_cast<TestStream*>(stream)->Loaded(options);
    return S_OK;
  }
  HRESULT GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* mt) override {
    if (!name) return E_POINTER;
    std::lock_guard lock(m_optionsLock);
    *name = static_cast<LPOLESTR>(CoTaskMemAlloc((m_name.size() + 1) * sizeof(WCHAR)));
    if (!*name) return E_OUTOFMEMORY;
    std::memcpy(*name, m_name.c_str(), (m_name.size() + 1) * sizeof(WCHAR));
    if (mt) *mt = AM_MEDIA_TYPE{};
    return S_OK;
  }

  SourceOptions Options() {
    std::lock_guard lock(m_optionsLock);
    return m_options;
  }

 private:
  // A leaf lock: the streaming threads read the options, and a state change holds the filter
  // lock while it waits for them.
  std::mutex m_optionsLock;
  std::u16string m_name;    // guarded by m_optionsLock
  SourceOptions m_options;  // guarded by m_optionsLock
};

TestStream::TestStream(HRESULT* phr, TestSource* filter, LPCWSTR name, const GUID& major,
                       const GUID& sub, bool video)
    : CSourceStream("Graph Test Stream", phr, filter, name),
      CSourceSeeking("Graph Test Seeking", static_cast<IPin*>(this), phr, &m_seekLock),
      m_source(filter),
      m_major(major),
      m_sub(sub),
      m_video(video) {}

HRESULT TestStream::GetMediaType(CMediaType* mt) {
  mt->InitMediaType();
  mt->SetType(&m_major);
  mt->SetSubtype(&m_sub);
  mt->SetFormatType(&FORMAT_None);
  mt->SetSampleSize(kSampleBytes);
  return S_OK;
}

HRESULT TestStream::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) {
  props->cBuffers = m_source->Options().buffers;
  props->cbBuffer = kSampleBytes;
  ALLOCATOR_PROPERTIES actual;
  return allocator->SetProperties(props, &actual);
}

void TestStream::Loaded(const SourceOptions& options) {
  CAutoLock lock(&m_seekLock);
  m_rtDuration = SampleCount(options) * options.stepMs * kUnitsPerMs;
  m_rtStop = m_rtDuration;
}

HRESULT TestStream::OnThreadCreate() {
  m_sent = 0;
  return S_OK;
}

HRESULT TestStream::ChangeStart() {
  const SourceOptions options = m_source->Options();
  const REFERENCE_TIME step = std::max<REFERENCE_TIME>(1, options.stepMs * kUnitsPerMs);
  if (!ThreadExists()) {
    m_first = static_cast<int>(m_rtStart / step);
    m_segmentStart = m_rtStart;
    return S_OK;
  }
  DeliverBeginFlush();
  Stop();  // the push loop ends; the thread waits for the next command
  m_first = static_cast<int>(m_rtStart / step);
  m_segmentStart = m_rtStart;
  m_sent = 0;
  DeliverEndFlush();
  return Pause();  // the push loop starts again at the new position
}

HRESULT TestStream::FillBuffer(IMediaSample* sample) {
  const SourceOptions options = m_source->Options();
  const int number = m_first + m_sent;
  if (number >= SampleCount(options)) return S_FALSE;
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  std::memcpy(data, &number, sizeof number);
  sample->SetActualDataLength(sizeof number);
  REFERENCE_TIME start = m_sent * options.stepMs * kUnitsPerMs;
  REFERENCE_TIME stop = start + options.stepMs * kUnitsPerMs;
  sample->SetTime(&start, &stop);
  sample->SetSyncPoint(TRUE);
  ++m_sent;
  return S_OK;
}

class TestDecoder final : public CTransformFilter {
 public:
  TestDecoder(IUnknown* outer, REFCLSID clsid, bool picky)
      : CTransformFilter("Graph Test Decoder", outer, clsid), m_picky(picky) {}

  static CUnknown* CreateHigh(IUnknown* outer, HRESULT*) {
    return new TestDecoder(outer, CLSID_GraphTestDecoderHigh, false);
  }
  static CUnknown* CreateLow(IUnknown* outer, HRESULT*) {
    return new TestDecoder(outer, CLSID_GraphTestDecoderLow, false);
  }
  static CUnknown* CreatePicky(IUnknown* outer, HRESULT*) {
    return new TestDecoder(outer, CLSID_GraphTestPickyDecoder, true);
  }

  HRESULT CheckInputType(const CMediaType* in) override {
    if (m_picky) return VFW_E_TYPE_NOT_ACCEPTED;
    return *in->Type() == MEDIATYPE_Video && *in->Subtype() == MEDIASUBTYPE_TestCompressed
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) override {
    if (FAILED(CheckInputType(in))) return VFW_E_TYPE_NOT_ACCEPTED;
    return *out->Subtype() == MEDIASUBTYPE_TestDecoded ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, CMediaType* mt) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    mt->InitMediaType();
    mt->SetType(&MEDIATYPE_Video);
    mt->SetSubtype(&MEDIASUBTYPE_TestDecoded);
    mt->SetFormatType(&FORMAT_None);
    mt->SetSampleSize(kSampleBytes);
    return S_OK;
  }
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override {
    props->cBuffers = kTransformBuffers;
    props->cbBuffer = kSampleBytes;
    ALLOCATOR_PROPERTIES actual;
    return allocator->SetProperties(props, &actual);
  }
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override {
    BYTE* from = nullptr;
    BYTE* to = nullptr;
    in->GetPointer(&from);
    out->GetPointer(&to);
    const LONG length = std::min(in->GetActualDataLength(), out->GetSize());
    std::memcpy(to, from, static_cast<size_t>(length));
    out->SetActualDataLength(length);
    return S_OK;
  }

 private:
  const bool m_picky;
};

// Counts what arrives and asks the graph for a clock.
class TestRenderer : public CBaseRenderer, public IRenderStatistics, public IAMFilterMiscFlags {
 public:
  TestRenderer(IUnknown* outer, REFCLSID clsid, const char* name, const GUID& major,
               const GUID& sub)
      : CBaseRenderer(clsid, name, outer, nullptr), m_major(major), m_sub(sub) {}

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IRenderStatistics) return GetInterface(static_cast<IRenderStatistics*>(this), ppv);
    if (riid == IID_IAMFilterMiscFlags)
      return GetInterface(static_cast<IAMFilterMiscFlags*>(this), ppv);
    return CBaseRenderer::NonDelegatingQueryInterface(riid, ppv);
  }

  HRESULT CheckMediaType(const CMediaType* mt) override {
    return *mt->Type() == m_major && *mt->Subtype() == m_sub ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT DoRenderSample(IMediaSample* sample) override {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    std::lock_guard lock(m_statsLock);
    if (timed && !m_anyTimed) m_first = start;
    if (timed) m_last = start;
    m_anyTimed = m_anyTimed || timed;
    ++m_samples;
    return S_OK;
  }
  HRESULT OnStartStreaming() override {
    std::lock_guard lock(m_statsLock);
    m_samples = 0;
    m_first = m_last = 0;
    m_anyTimed = false;
    return S_OK;
  }

  HRESULT GetRenderStatistics(LONG* samples, REFERENCE_TIME* first, REFERENCE_TIME* last) override {
    if (!samples || !first || !last) return E_POINTER;
    std::lock_guard lock(m_statsLock);
    *samples = m_samples;
    *first = m_first;
    *last = m_last;
    return m_samples > 0 ? S_OK : S_FALSE;
  }
  ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

 private:
  const GUID m_major;
  const GUID m_sub;
  std::mutex m_statsLock;
  LONG m_samples = 0;            // guarded by m_statsLock
  REFERENCE_TIME m_first = 0;    // guarded by m_statsLock
  REFERENCE_TIME m_last = 0;     // guarded by m_statsLock
  bool m_anyTimed = false;       // guarded by m_statsLock
};

class TestVideoRenderer final : public TestRenderer, public IVideoFrameStep {
 public:
  explicit TestVideoRenderer(IUnknown* outer)
      : TestRenderer(outer, CLSID_GraphTestVideoRenderer, "Graph Test Video Renderer",
                     MEDIATYPE_Video, MEDIASUBTYPE_TestDecoded) {}
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT*) { return new TestVideoRenderer(outer); }

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IVideoFrameStep) return GetInterface(static_cast<IVideoFrameStep*>(this), ppv);
    return TestRenderer::NonDelegatingQueryInterface(riid, ppv);
  }
  // This renderer cannot step.
  HRESULT Step(DWORD, IUnknown*) override { return E_NOTIMPL; }
  HRESULT CanStep(LONG, IUnknown*) override { return S_FALSE; }
  HRESULT CancelStep() override { return S_OK; }
};

class TestAudioRenderer final : public TestRenderer, public IBasicAudio {
 public:
  explicit TestAudioRenderer(IUnknown* outer)
      : TestRenderer(outer, CLSID_GraphTestAudioRenderer, "Graph Test Audio Renderer",
                     MEDIATYPE_Audio, MEDIASUBTYPE_TestPcm) {}
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT*) { return new TestAudioRenderer(outer); }

  DECLARE_IUNKNOWN
  DECLARE_NO_DISPATCH
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IBasicAudio) return GetInterface(static_cast<IBasicAudio*>(this), ppv);
    return TestRenderer::NonDelegatingQueryInterface(riid, ppv);
  }
  HRESULT put_Volume(LONG volume) override {
    m_volume = volume;
    return S_OK;
  }
  HRESULT get_Volume(LONG* volume) override {
    if (!volume) return E_POINTER;
    *volume = m_volume;
    return S_OK;
  }
  HRESULT put_Balance(LONG balance) override {
    m_balance = balance;
    return S_OK;
  }
  HRESULT get_Balance(LONG* balance) override {
    if (!balance) return E_POINTER;
    *balance = m_balance;
    return S_OK;
  }

 private:
  std::atomic<LONG> m_volume{0};
  std::atomic<LONG> m_balance{0};
};

// Registration data.
const REGPINTYPES kCompressed = {&MEDIATYPE_Video, &MEDIASUBTYPE_TestCompressed};
const REGPINTYPES kDecoded = {&MEDIATYPE_Video, &MEDIASUBTYPE_TestDecoded};
const REGPINTYPES kPcm = {&MEDIATYPE_Audio, &MEDIASUBTYPE_TestPcm};

const REGFILTERPINS kSourcePins[] = {
    {u"Video", FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, &kCompressed},
    {u"Audio", FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, &kPcm}};
const REGFILTERPINS kDecoderPins[] = {
    {u"XForm In", FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, &kCompressed},
    {u"XForm Out", FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, &kDecoded}};
const REGFILTERPINS kVideoRendererPins[] = {
    {u"In", TRUE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, &kDecoded}};
const REGFILTERPINS kAudioRendererPins[] = {
    {u"In", TRUE, FALSE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, &kPcm}};

const AMOVIESETUP_FILTER kSourceSetup = {&CLSID_GraphTestSource, u"Graph Test Source",
                                         MERIT_DO_NOT_USE, 2, kSourcePins};
const AMOVIESETUP_FILTER kHighSetup = {&CLSID_GraphTestDecoderHigh, u"Graph Test Decoder High",
                                       MERIT_PREFERRED, 2, kDecoderPins};
const AMOVIESETUP_FILTER kLowSetup = {&CLSID_GraphTestDecoderLow, u"Graph Test Decoder Low",
                                      MERIT_NORMAL, 2, kDecoderPins};
const AMOVIESETUP_FILTER kPickySetup = {&CLSID_GraphTestPickyDecoder, u"Graph Test Picky Decoder",
                                        MERIT_PREFERRED + 1, 2, kDecoderPins};
const AMOVIESETUP_FILTER kVideoRendererSetup = {&CLSID_GraphTestVideoRenderer,
                                                u"Graph Test Video Renderer", MERIT_NORMAL, 1,
                                                kVideoRendererPins};
const AMOVIESETUP_FILTER kAudioRendererSetup = {&CLSID_GraphTestAudioRenderer,
                                                u"Graph Test Audio Renderer", MERIT_NORMAL, 1,
                                                kAudioRendererPins};

const CFactoryTemplate kTemplates[] = {
    {u"Graph Test Source", &CLSID_GraphTestSource, TestSource::CreateInstance, &kSourceSetup},
    {u"Graph Test Decoder High", &CLSID_GraphTestDecoderHigh, TestDecoder::CreateHigh, &kHighSetup},
    {u"Graph Test Decoder Low", &CLSID_GraphTestDecoderLow, TestDecoder::CreateLow, &kLowSetup},
    {u"Graph Test Picky Decoder", &CLSID_GraphTestPickyDecoder, TestDecoder::CreatePicky,
     &kPickySetup},
    {u"Graph Test Video Renderer", &CLSID_GraphTestVideoRenderer, TestVideoRenderer::CreateInstance,
     &kVideoRendererSetup},
    {u"Graph Test Audio Renderer", &CLSID_GraphTestAudioRenderer, TestAudioRenderer::CreateInstance,
     &kAudioRendererSetup},
};

std::string MediaTypeKey() {
  return "Media Type\\" + GuidToString(MEDIATYPE_Stream) + "\\" + GuidToString(MEDIASUBTYPE_TestFile);
}

std::string ExtensionKey() { return std::string("Media Type\\Extensions\\") + kExtension; }

// The scheme, the check bytes and the extension that lead RenderFile to the source.
HRESULT RegisterSourceKeys() {
  const std::string source = GuidToString(CLSID_GraphTestSource);
  std::string magicHex;
  for (const char c : std::string(kMagic)) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(c));
    magicHex += hex;
  }
  const std::string check = "0," + std::to_string(std::strlen(kMagic)) + ",," + magicHex;
  LONG e = reg::SetString(HKEY_CLASSES_ROOT, kScheme, "Source Filter", source);
  if (!e) e = reg::SetString(HKEY_CLASSES_ROOT, MediaTypeKey(), "0", check);
  if (!e) e = reg::SetString(HKEY_CLASSES_ROOT, MediaTypeKey(), "Source Filter", source);
  if (!e) e = reg::SetString(HKEY_CLASSES_ROOT, ExtensionKey(), "Source Filter", source);
  return HRESULT_FROM_WIN32(static_cast<uint32_t>(e));
}

void UnregisterSourceKeys() {
  reg::DeleteTree(HKEY_CLASSES_ROOT, kScheme);
  reg::DeleteTree(HKEY_CLASSES_ROOT, MediaTypeKey());
  reg::DeleteTree(HKEY_CLASSES_ROOT, ExtensionKey());
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  return AMGetClassObject(kTemplates, clsid, riid, ppv);
}

STDAPI DllCanUnloadNow() { return AMCanUnloadNow(); }

STDAPI DllRegisterServer() {
  HRESULT hr = AMRegisterServer(kTemplates);
  if (SUCCEEDED(hr)) hr = AMRegisterFiltersWithMapper(kTemplates);
  if (SUCCEEDED(hr)) hr = RegisterSourceKeys();
  return hr;
}

STDAPI DllUnregisterServer() {
  UnregisterSourceKeys();
  const HRESULT hr = AMUnregisterFiltersWithMapper(kTemplates);
  const HRESULT com = AMUnregisterServer(kTemplates);
  return FAILED(hr) ? hr : com;
}
