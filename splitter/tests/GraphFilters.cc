#include "GraphFilters.h"

#include <cstring>

#include "DShowErrors.h"
#include "recorder/RecorderGuids.h"

namespace splitter::testing {

CMediaType RecorderStreamType(const recorder::FileHeader& header) {
  CMediaType type(MEDIATYPE_RecorderStream);
  type.SetSubtype(&MEDIASUBTYPE_RecorderStream);
  type.SetFormatType(&FORMAT_RecorderStream);
  type.SetVariableSize();
  const auto bytes = recorder::Serialize(header);
  type.SetFormat(bytes.data(), static_cast<ULONG>(bytes.size()));
  return type;
}

namespace {

// The upstream's IMediaSeeking, a part of its output pin (reference count and all).
class FixedSeeking final : public IMediaSeeking {
 public:
  explicit FixedSeeking(IUnknown* owner) : m_owner(owner) {}
  HRESULT QueryInterface(REFIID riid, void** ppv) override { return m_owner->QueryInterface(riid, ppv); }
  ULONG AddRef() override { return m_owner->AddRef(); }
  ULONG Release() override { return m_owner->Release(); }

  HRESULT GetCapabilities(DWORD*) override { return E_NOTIMPL; }
  HRESULT CheckCapabilities(DWORD*) override { return E_NOTIMPL; }
  HRESULT IsFormatSupported(const GUID*) override { return E_NOTIMPL; }
  HRESULT QueryPreferredFormat(GUID*) override { return E_NOTIMPL; }
  HRESULT GetTimeFormat(GUID*) override { return E_NOTIMPL; }
  HRESULT IsUsingTimeFormat(const GUID*) override { return E_NOTIMPL; }
  HRESULT SetTimeFormat(const GUID*) override { return E_NOTIMPL; }
  HRESULT GetDuration(LONGLONG* duration) override {
    *duration = UpstreamSeekingAnswers::kDuration;
    return S_OK;
  }
  HRESULT GetStopPosition(LONGLONG* stop) override {
    *stop = UpstreamSeekingAnswers::kStop;
    return S_OK;
  }
  HRESULT GetCurrentPosition(LONGLONG* current) override {
    *current = UpstreamSeekingAnswers::kCurrent;
    return S_OK;
  }
  HRESULT ConvertTimeFormat(LONGLONG*, const GUID*, LONGLONG, const GUID*) override { return E_NOTIMPL; }
  HRESULT SetPositions(LONGLONG*, DWORD, LONGLONG*, DWORD) override { return E_NOTIMPL; }
  HRESULT GetPositions(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }  // writes nothing
  HRESULT GetAvailable(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }
  HRESULT SetRate(double) override { return E_NOTIMPL; }
  HRESULT GetRate(double*) override { return E_NOTIMPL; }
  HRESULT GetPreroll(LONGLONG*) override { return E_NOTIMPL; }

 private:
  IUnknown* const m_owner;
};

}  // namespace

class UpstreamFilter::OutputPin : public CBaseOutputPin {
 public:
  OutputPin(UpstreamFilter* filter, CCritSec* lock, HRESULT* phr, CMediaType type)
      : CBaseOutputPin("Upstream pin", filter, lock, phr, u"Output"), m_type(std::move(type)) {}
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IMediaSeeking) return GetInterface(static_cast<IMediaSeeking*>(&m_seeking), ppv);
    return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
  }
  HRESULT CheckMediaType(const CMediaType* pmt) override {
    return pmt && *pmt == m_type ? S_OK : E_FAIL;
  }
  HRESULT GetMediaType(int position, CMediaType* pmt) override {
    if (position != 0) return VFW_S_NO_MORE_ITEMS;
    *pmt = m_type;
    return S_OK;
  }
  HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override {
    pProp->cBuffers = 2;
    pProp->cbBuffer = kSampleSize;
    pProp->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual{};
    return pAlloc->SetProperties(pProp, &actual);
  }

 private:
  const CMediaType m_type;
  FixedSeeking m_seeking{static_cast<IPin*>(this)};
};

UpstreamFilter::UpstreamFilter(const recorder::FileHeader& header)
    : CBaseFilter("Upstream", nullptr, &m_lock, CLSID_TestUpstream) {
  HRESULT hr = S_OK;
  m_pin = new OutputPin(this, &m_lock, &hr, RecorderStreamType(header));
}

UpstreamFilter::~UpstreamFilter() { delete m_pin; }

CBasePin* UpstreamFilter::GetPin(int n) { return n == 0 ? m_pin : nullptr; }

HRESULT UpstreamFilter::Push(std::span<const uint8_t> bytes) {
  HRESULT status = S_OK;
  for (size_t offset = 0; offset < bytes.size(); offset += kSampleSize) {
    const size_t length = std::min<size_t>(kSampleSize, bytes.size() - offset);
    IMediaSample* sample = nullptr;
    if (const HRESULT hr = m_pin->GetDeliveryBuffer(&sample, nullptr, nullptr, 0); FAILED(hr))
      return hr;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    std::memcpy(data, bytes.data() + offset, length);
    sample->SetActualDataLength(static_cast<LONG>(length));
    status = m_pin->Deliver(sample);
    sample->Release();
  }
  return status;
}

class RecordingSink::InputPin : public CBaseInputPin {
 public:
  InputPin(RecordingSink* sink, CCritSec* lock, HRESULT* phr)
      : CBaseInputPin("Sink pin", sink, lock, phr, u"Input"), m_sink(sink) {}
  HRESULT CheckMediaType(const CMediaType*) override { return S_OK; }
  HRESULT Receive(IMediaSample* sample) override {
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    DeliveredSample copy;
    copy.bytes.assign(data, data + sample->GetActualDataLength());
    sample->GetTime(&copy.start, &copy.stop);
    copy.syncPoint = sample->IsSyncPoint() == S_OK;
    copy.discontinuity = sample->IsDiscontinuity() == S_OK;
    copy.preroll = sample->IsPreroll() == S_OK;
    std::lock_guard guard(m_sink->m_samplesLock);
    m_sink->m_samples.push_back(std::move(copy));
    return m_sink->receiveStatus;
  }

 private:
  RecordingSink* const m_sink;
};

RecordingSink::RecordingSink() : CBaseFilter("Sink", nullptr, &m_lock, CLSID_TestSink) {
  HRESULT hr = S_OK;
  m_pin = new InputPin(this, &m_lock, &hr);
}

RecordingSink::~RecordingSink() { delete m_pin; }

CBasePin* RecordingSink::GetPin(int n) { return n == 0 ? m_pin : nullptr; }

std::vector<DeliveredSample> RecordingSink::Samples() {
  std::lock_guard guard(m_samplesLock);
  return m_samples;
}

}  // namespace splitter::testing
