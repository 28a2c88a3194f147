#include "Transform.h"

#include "Seeking.h"

namespace {

constexpr char16_t kInputName[] = u"XForm In";
constexpr char16_t kOutputName[] = u"XForm Out";

}  // namespace

CTransformInputPin::CTransformInputPin(const char* objectName, CTransformFilter* filter,
                                       HRESULT* phr, LPCWSTR name)
    : CBaseInputPin(objectName, filter, &filter->m_csFilter, phr, name),
      m_pTransformFilter(filter) {}

HRESULT CTransformInputPin::CheckConnect(IPin* pPin) {
  const HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_INPUT, pPin);
  if (FAILED(hr)) return hr;
  return CBaseInputPin::CheckConnect(pPin);
}

HRESULT CTransformInputPin::BreakConnect() {
  m_pTransformFilter->BreakConnect(PINDIR_INPUT);
  return CBaseInputPin::BreakConnect();
}

HRESULT CTransformInputPin::CompleteConnect(IPin* pReceivePin) {
  const HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_INPUT, pReceivePin);
  if (FAILED(hr)) return hr;
  return CBaseInputPin::CompleteConnect(pReceivePin);
}

HRESULT CTransformInputPin::CheckMediaType(const CMediaType* mtIn) {
  if (!mtIn) return E_POINTER;
  HRESULT hr = m_pTransformFilter->CheckInputType(mtIn);
  if (hr != S_OK) return hr;
  // A connected output must stay possible with the new input type.
  CTransformOutputPin* output = m_pTransformFilter->m_pOutput;
  if (output && output->IsConnected()) {
    hr = m_pTransformFilter->CheckTransform(mtIn, &output->CurrentMediaType());
  }
  return hr;
}

HRESULT CTransformInputPin::SetMediaType(const CMediaType* mt) {
  const HRESULT hr = CBaseInputPin::SetMediaType(mt);
  if (FAILED(hr)) return hr;
  return m_pTransformFilter->SetMediaType(PINDIR_INPUT, mt);
}

HRESULT CTransformInputPin::Receive(IMediaSample* pSample) {
  CAutoLock lock(&m_pTransformFilter->m_csReceive);
  HRESULT hr = CBaseInputPin::Receive(pSample);
  if (hr == S_OK) hr = m_pTransformFilter->Receive(pSample);
  return hr;
}

HRESULT CTransformInputPin::EndOfStream() {
  CAutoLock lock(&m_pTransformFilter->m_csReceive);
  HRESULT hr = CheckStreaming();
  if (hr == S_OK) hr = m_pTransformFilter->EndOfStream();
  return hr;
}

HRESULT CTransformInputPin::BeginFlush() {
  CAutoLock lock(&m_pTransformFilter->m_csFilter);
  CTransformOutputPin* output = m_pTransformFilter->m_pOutput;
  if (!IsConnected() || !output || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
  const HRESULT hr = CBaseInputPin::BeginFlush();
  if (FAILED(hr)) return hr;
  return m_pTransformFilter->BeginFlush();
}

HRESULT CTransformInputPin::EndFlush() {
  CAutoLock lock(&m_pTransformFilter->m_csFilter);
  CTransformOutputPin* output = m_pTransformFilter->m_pOutput;
  if (!IsConnected() || !output || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
  const HRESULT hr = m_pTransformFilter->EndFlush();
  if (FAILED(hr)) return hr;
  return CBaseInputPin::EndFlush();
}

HRESULT CTransformInputPin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
  CBasePin::NewSegment(tStart, tStop, dRate);
  return m_pTransformFilter->NewSegment(tStart, tStop, dRate);
}

CTransformOutputPin::CTransformOutputPin(const char* objectName, CTransformFilter* filter,
                                         HRESULT* phr, LPCWSTR name)
    : CBaseOutputPin(objectName, filter, &filter->m_csFilter, phr, name),
      m_pTransformFilter(filter) {}

CTransformOutputPin::~CTransformOutputPin() {
  if (m_pPosition) m_pPosition->Release();
}

HRESULT CTransformOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid != IID_IMediaSeeking && riid != IID_IMediaPosition)
    return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
  if (!ppv) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (!m_pPosition) {
    const HRESULT hr = CreatePosPassThru(static_cast<IPin*>(this), FALSE,
                                         m_pTransformFilter->m_pInput, &m_pPosition);
    if (FAILED(hr)) return hr;
  }
  return m_pPosition->QueryInterface(riid, ppv);
}

HRESULT CTransformOutputPin::CheckConnect(IPin* pPin) {
  CTransformInputPin* input = m_pTransformFilter->m_pInput;
  if (!input || !input->IsConnected()) return E_UNEXPECTED;
  const HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_OUTPUT, pPin);
  if (FAILED(hr)) return hr;
  return CBaseOutputPin::CheckConnect(pPin);
}

HRESULT CTransformOutputPin::BreakConnect() {
  m_pTransformFilter->BreakConnect(PINDIR_OUTPUT);
  return CBaseOutputPin::BreakConnect();
}

HRESULT CTransformOutputPin::CompleteConnect(IPin* pReceivePin) {
  const HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_OUTPUT, pReceivePin);
  if (FAILED(hr)) return hr;
  return CBaseOutputPin::CompleteConnect(pReceivePin);
}

HRESULT CTransformOutputPin::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) {
  return m_pTransformFilter->DecideBufferSize(pAlloc, pProp);
}

HRESULT CTransformOutputPin::CheckMediaType(const CMediaType* mtOut) {
  if (!mtOut) return E_POINTER;
  CTransformInputPin* input = m_pTransformFilter->m_pInput;
  if (!input || !input->IsConnected()) return E_UNEXPECTED;
  return m_pTransformFilter->CheckTransform(&input->CurrentMediaType(), mtOut);
}

HRESULT CTransformOutputPin::SetMediaType(const CMediaType* mt) {
  const HRESULT hr = CBaseOutputPin::SetMediaType(mt);
  if (FAILED(hr)) return hr;
  return m_pTransformFilter->SetMediaType(PINDIR_OUTPUT, mt);
}

HRESULT CTransformOutputPin::GetMediaType(int position, CMediaType* pMediaType) {
  CTransformInputPin* input = m_pTransformFilter->m_pInput;
  if (!input || !input->IsConnected()) return VFW_S_NO_MORE_ITEMS;
  return m_pTransformFilter->GetMediaType(position, pMediaType);
}

CTransformFilter::CTransformFilter(const char* name, IUnknown* outer, REFCLSID clsid)
    : CBaseFilter(name, outer, &m_csFilter, clsid) {}

CTransformFilter::~CTransformFilter() {
  delete m_pInput;
  delete m_pOutput;
}

HRESULT CTransformFilter::CreatePins() {
  HRESULT hr = S_OK;
  m_pInput = new CTransformInputPin("Transform input pin", this, &hr, kInputName);
  if (FAILED(hr)) return hr;
  m_pOutput = new CTransformOutputPin("Transform output pin", this, &hr, kOutputName);
  return hr;
}

int CTransformFilter::GetPinCount() { return 2; }

CBasePin* CTransformFilter::GetPin(int n) {
  {
    CAutoLock lock(&m_csFilter);
    if (!m_pInput || !m_pOutput) {
      if (FAILED(CreatePins())) {
        delete m_pInput;
        delete m_pOutput;
        m_pInput = nullptr;
        m_pOutput = nullptr;
        return nullptr;
      }
      IncrementPinVersion();
    }
  }
  if (n == 0) return m_pInput;
  if (n == 1) return m_pOutput;
  return nullptr;
}

HRESULT CTransformFilter::FindPin(LPCWSTR Id, IPin** ppPin) {
  if (!Id || !ppPin) return E_POINTER;
  *ppPin = nullptr;
  CBasePin* pin = nullptr;
  if (std::u16string_view(Id) == kInputName) pin = GetPin(0);
  else if (std::u16string_view(Id) == kOutputName) pin = GetPin(1);
  if (!pin) return VFW_E_NOT_FOUND;
  return GetInterface(static_cast<IPin*>(pin), reinterpret_cast<void**>(ppPin));
}

HRESULT CTransformFilter::Stop() {
  CAutoLock lock(&m_csFilter);
  if (m_State == State_Stopped) return S_OK;
  if (!m_pInput || !m_pInput->IsConnected() || !m_pOutput->IsConnected()) {
    m_State = State_Stopped;
    m_bEOSDelivered = false;
    return S_OK;
  }
  // Decommit the input first: an upstream thread blocked in GetBuffer wakes and leaves, so
  // the streaming lock below is not held for ever.
  m_pInput->Inactive();
  CAutoLock receive(&m_csReceive);
  m_pOutput->Inactive();
  const HRESULT hr = StopStreaming();
  if (SUCCEEDED(hr)) {
    m_State = State_Stopped;
    m_bEOSDelivered = false;
  }
  return hr;
}

HRESULT CTransformFilter::Pause() {
  CAutoLock lock(&m_csFilter);
  HRESULT hr = S_OK;
  if (m_State == State_Paused) {
    // Nothing to do.
  } else if (!m_pInput || !m_pInput->IsConnected()) {
    // Without an input nothing will ever arrive: tell downstream at once.
    if (m_pOutput && m_pOutput->IsConnected() && !m_bEOSDelivered) {
      m_pOutput->DeliverEndOfStream();
      m_bEOSDelivered = true;
    }
    m_State = State_Paused;
  } else if (!m_pOutput->IsConnected()) {
    m_State = State_Paused;
  } else {
    if (m_State == State_Stopped) {
      CAutoLock receive(&m_csReceive);
      hr = StartStreaming();
    }
    if (SUCCEEDED(hr)) hr = CBaseFilter::Pause();
  }
  // Not under m_csReceive: a Receive may be held by a paused renderer downstream.
  m_bSampleSkipped = false;
  return hr;
}

HRESULT CTransformFilter::InitializeOutputSample(IMediaSample* pSample, IMediaSample** ppOutSample) {
  const bool syncPoint = pSample->IsSyncPoint() == S_OK;
  DWORD flags = syncPoint ? 0 : AM_GBF_NOTASYNCPOINT;
  if (m_bSampleSkipped) flags |= AM_GBF_PREVFRAMESKIPPED;
  IMediaSample* out = nullptr;
  const HRESULT hr = m_pOutput->GetDeliveryBuffer(&out, nullptr, nullptr, flags);
  if (FAILED(hr)) return hr;

  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  const HRESULT timeResult = pSample->GetTime(&start, &stop);
  if (timeResult == S_OK) {
    out->SetTime(&start, &stop);
  } else if (timeResult == VFW_S_NO_STOP_TIME) {
    out->SetTime(&start, nullptr);
  }
  LONGLONG mediaStart = 0;
  LONGLONG mediaStop = 0;
  if (pSample->GetMediaTime(&mediaStart, &mediaStop) == S_OK) {
    out->SetMediaTime(&mediaStart, &mediaStop);
  }
  out->SetSyncPoint(syncPoint);
  out->SetDiscontinuity(m_bSampleSkipped || pSample->IsDiscontinuity() == S_OK);
  out->SetPreroll(pSample->IsPreroll() == S_OK);
  *ppOutSample = out;
  return S_OK;
}

HRESULT CTransformFilter::Receive(IMediaSample* pSample) {
  if (!m_pOutput->IsConnected()) return S_OK;  // nothing to deliver to; not an error
  IMediaSample* out = nullptr;
  HRESULT hr = InitializeOutputSample(pSample, &out);
  if (FAILED(hr)) return hr;
  hr = Transform(pSample, out);
  if (hr == S_OK) {
    hr = m_pOutput->Deliver(out);
    m_bSampleSkipped = false;
  } else if (hr == S_FALSE) {
    // Skipped by the transform: the next delivered sample marks the gap.
    m_bSampleSkipped = true;
    hr = S_OK;
  }
  out->Release();
  return hr;
}

HRESULT CTransformFilter::EndOfStream() {
  if (!m_pOutput || !m_pOutput->IsConnected()) return S_OK;
  return m_pOutput->DeliverEndOfStream();
}

HRESULT CTransformFilter::BeginFlush() {
  if (!m_pOutput || !m_pOutput->IsConnected()) return S_OK;
  return m_pOutput->DeliverBeginFlush();
}

HRESULT CTransformFilter::EndFlush() {
  if (!m_pOutput || !m_pOutput->IsConnected()) return S_OK;
  return m_pOutput->DeliverEndFlush();
}

HRESULT CTransformFilter::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
  if (!m_pOutput || !m_pOutput->IsConnected()) return S_OK;
  return m_pOutput->DeliverNewSegment(tStart, tStop, dRate);
}
