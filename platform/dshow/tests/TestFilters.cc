#include "TestFilters.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

namespace dshow_test {

namespace {

constexpr LONG kVideoSize = 16;
constexpr WORD kRgb32Bits = 32;

LONG ReadNumber(IMediaSample* sample) {
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  LONG number = 0;
  std::memcpy(&number, data, sizeof number);
  return number;
}

void WriteNumber(IMediaSample* sample, LONG number) {
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  std::memcpy(data, &number, sizeof number);
  sample->SetActualDataLength(sizeof number);
}

}  // namespace

CMediaType TestVideoType() {
  CMediaType mt(MEDIATYPE_Video);
  mt.SetSubtype(&MEDIASUBTYPE_RGB32);
  mt.SetFormatType(&FORMAT_VideoInfo);
  mt.SetSampleSize(kVideoSize * kVideoSize * 4);
  auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
  vih->rcSource = {0, 0, kVideoSize, kVideoSize};
  vih->rcTarget = vih->rcSource;
  vih->AvgTimePerFrame = kFrameTime;
  vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  vih->bmiHeader.biWidth = kVideoSize;
  vih->bmiHeader.biHeight = kVideoSize;
  vih->bmiHeader.biPlanes = 1;
  vih->bmiHeader.biBitCount = kRgb32Bits;
  return mt;
}

HRESULT TestGraph::QueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IUnknown || riid == IID_IFilterGraph) {
    return GetInterface(static_cast<IFilterGraph*>(this), ppv);
  }
  if (riid == IID_IMediaEventSink) return GetInterface(static_cast<IMediaEventSink*>(this), ppv);
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT TestGraph::Notify(LONG code, LONG_PTR param1, LONG_PTR param2) {
  {
    std::lock_guard guard(m_lock);
    m_events.push_back({code, param1, param2});
  }
  m_arrived.notify_all();
  return S_OK;
}

bool TestGraph::WaitFor(LONG code, Event* event) {
  std::unique_lock guard(m_lock);
  for (;;) {
    for (const Event& e : m_events) {
      if (e.code != code) continue;
      if (event) *event = e;
      return true;
    }
    if (m_arrived.wait_for(guard, kWait) == std::cv_status::timeout) return false;
  }
}

bool TestGraph::WaitForCount(LONG code, int count) {
  std::unique_lock guard(m_lock);
  return m_arrived.wait_for(guard, kWait, [&] {
    int seen = 0;
    for (const Event& e : m_events) seen += e.code == code;
    return seen >= count;
  });
}

int TestGraph::Count(LONG code) {
  std::lock_guard guard(m_lock);
  int count = 0;
  for (const Event& e : m_events) count += e.code == code;
  return count;
}

NumberStream::NumberStream(CSource* filter, HRESULT* phr, const SourceOptions& options)
    : CSourceStream("NumberStream", phr, filter, u"Out"), m_options(options) {}

HRESULT NumberStream::GetMediaType(CMediaType* pMediaType) {
  *pMediaType = TestVideoType();
  return S_OK;
}

HRESULT NumberStream::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) {
  pProp->cBuffers = m_options.buffers;
  pProp->cbBuffer = m_options.bufferSize;
  ALLOCATOR_PROPERTIES actual;
  const HRESULT hr = pAlloc->SetProperties(pProp, &actual);
  if (FAILED(hr)) return hr;
  return actual.cBuffers < pProp->cBuffers || actual.cbBuffer < pProp->cbBuffer ? E_FAIL : S_OK;
}

HRESULT NumberStream::OnThreadStartPlay() {
  DeliverNewSegment(0, INT64_MAX, 1.0);
  return S_OK;
}

HRESULT NumberStream::FillBuffer(IMediaSample* pSample) {
  const int n = m_next;
  if (n == m_options.sampleCount) return S_FALSE;
  if (n == m_options.failAt) return E_FAIL;
  WriteNumber(pSample, n);
  REFERENCE_TIME start = n * kFrameTime;
  REFERENCE_TIME stop = start + kFrameTime;
  pSample->SetTime(&start, &stop);
  pSample->SetSyncPoint(n % kSyncEvery == 0);
  pSample->SetDiscontinuity(n == 0);
  m_next = n + 1;
  return S_OK;
}

NumberSource::NumberSource(const SourceOptions& options)
    : CSource("NumberSource", nullptr, CLSID_TestSource) {
  HRESULT hr = S_OK;
  new NumberStream(this, &hr, options);
}

AddingTransform::AddingTransform(const TransformOptions& options)
    : CTransformFilter("AddingTransform", nullptr, CLSID_TestTransform), m_options(options) {}

HRESULT AddingTransform::Transform(IMediaSample* pIn, IMediaSample* pOut) {
  WriteNumber(pOut, ReadNumber(pIn) + kTransformOffset);
  return S_OK;
}

HRESULT AddingTransform::CheckInputType(const CMediaType* mtIn) {
  if (m_options.refuseInput) return E_FAIL;
  return *mtIn == TestVideoType() ? S_OK : E_FAIL;
}

HRESULT AddingTransform::CheckTransform(const CMediaType* mtIn, const CMediaType* mtOut) {
  return *mtIn == *mtOut ? S_OK : E_FAIL;
}

HRESULT AddingTransform::DecideBufferSize(IMemAllocator* pAllocator, ALLOCATOR_PROPERTIES* pProp) {
  pProp->cBuffers = 2;
  pProp->cbBuffer = 64;
  pProp->cbAlign = m_options.outputAlign;
  ALLOCATOR_PROPERTIES actual;
  return pAllocator->SetProperties(pProp, &actual);
}

HRESULT AddingTransform::GetMediaType(int position, CMediaType* pMediaType) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *pMediaType = m_pInput->CurrentMediaType();
  return S_OK;
}

CollectingSink::CollectingSink(bool refuseAll)
    : CBaseRenderer(CLSID_TestSink, "CollectingSink", nullptr, nullptr), m_refuseAll(refuseAll) {}

CollectingSink::~CollectingSink() { ReleaseHeld(); }

HRESULT CollectingSink::CheckMediaType(const CMediaType* pmt) {
  if (m_refuseAll) return E_FAIL;
  return *pmt->Type() == MEDIATYPE_Video ? S_OK : E_FAIL;
}

HRESULT CollectingSink::DoRenderSample(IMediaSample* pSample) {
  Received r{};
  r.number = ReadNumber(pSample);
  r.length = pSample->GetActualDataLength();
  pSample->GetTime(&r.start, &r.stop);
  r.sync = pSample->IsSyncPoint() == S_OK;
  r.discontinuity = pSample->IsDiscontinuity() == S_OK;
  {
    std::lock_guard guard(m_lock);
    m_samples.push_back(r);
    if (m_hold) {
      pSample->AddRef();
      m_held.push_back(pSample);
    }
  }
  m_arrived.notify_all();
  return S_OK;
}

void CollectingSink::HoldSamples(bool hold) {
  std::lock_guard guard(m_lock);
  m_hold = hold;
}

void CollectingSink::ReleaseHeld() {
  std::vector<IMediaSample*> held;
  {
    std::lock_guard guard(m_lock);
    held.swap(m_held);
  }
  for (IMediaSample* sample : held) sample->Release();
}

bool CollectingSink::WaitForCount(size_t count) {
  std::unique_lock guard(m_lock);
  return m_arrived.wait_for(guard, kWait, [&] { return m_samples.size() >= count; });
}

bool CollectingSink::WaitForStart(REFERENCE_TIME start) {
  std::unique_lock guard(m_lock);
  return m_arrived.wait_for(guard, kWait, [&] {
    return std::any_of(m_samples.begin(), m_samples.end(),
                       [&](const Received& r) { return r.start == start; });
  });
}

std::vector<Received> CollectingSink::Samples() {
  std::lock_guard guard(m_lock);
  return m_samples;
}

void MustReturn(const char* what, const std::function<void()>& call) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  std::thread([call, done] {
    call();
    done->set_value();
  }).detach();
  if (finished.wait_for(kWait) == std::future_status::timeout) {
    std::fprintf(stderr, "hung: %s\n", what);
    std::abort();
  }
}

}  // namespace dshow_test
