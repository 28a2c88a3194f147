#include "Allocator.h"
#include "Filter.h"

CBaseInputPin::CBaseInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock,
                             HRESULT* phr, LPCWSTR name)
    : CBasePin(objectName, filter, lock, phr, name, PINDIR_INPUT) {}

CBaseInputPin::~CBaseInputPin() {
  if (m_pAllocator) m_pAllocator->Release();
}

HRESULT CBaseInputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IMemInputPin) return GetInterface(static_cast<IMemInputPin*>(this), ppv);
  return CBasePin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBaseInputPin::GetAllocator(IMemAllocator** ppAllocator) {
  if (!ppAllocator) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (!m_pAllocator) {
    HRESULT hr = S_OK;
    CUnknown* allocator = CMemAllocator::CreateInstance(nullptr, &hr);
    if (!allocator) return E_OUTOFMEMORY;
    hr = allocator->NonDelegatingQueryInterface(IID_IMemAllocator,
                                                reinterpret_cast<void**>(&m_pAllocator));
    if (FAILED(hr)) return hr;
  }
  m_pAllocator->AddRef();
  *ppAllocator = m_pAllocator;
  return S_OK;
}

HRESULT CBaseInputPin::NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) {
  if (!pAllocator) return E_POINTER;
  CAutoLock lock(m_pLock);
  pAllocator->AddRef();
  if (m_pAllocator) m_pAllocator->Release();
  m_pAllocator = pAllocator;
  m_bReadOnly = bReadOnly != FALSE;
  return S_OK;
}

HRESULT CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

HRESULT CBaseInputPin::CheckStreaming() {
  if (!IsConnected()) return VFW_E_NOT_CONNECTED;
  if (IsStopped()) return VFW_E_WRONG_STATE;
  if (m_bFlushing) return S_FALSE;
  if (m_bRunTimeError) return VFW_E_RUNTIME_ERROR;
  return S_OK;
}

HRESULT CBaseInputPin::Receive(IMediaSample* pSample) {
  if (!pSample) return E_POINTER;
  HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  AM_MEDIA_TYPE* changed = nullptr;
  if (pSample->GetMediaType(&changed) != S_OK || !changed) return S_OK;
  // The type changes with this sample: it must be one we accept.
  hr = CheckMediaType(AsMediaType(changed));
  if (hr == S_OK) hr = SetMediaType(AsMediaType(changed));
  DeleteMediaType(changed);
  if (SUCCEEDED(hr)) return S_OK;
  // End the stream downstream first: once the error is set, this pin's own EndOfStream would
  // refuse to pass it on.
  EndOfStream();
  m_bRunTimeError = true;
  m_pFilter->NotifyEvent(EC_ERRORABORT, VFW_E_TYPE_NOT_ACCEPTED, 0);
  return VFW_E_INVALIDMEDIATYPE;
}

HRESULT CBaseInputPin::ReceiveMultiple(IMediaSample** pSamples, LONG nSamples,
                                       LONG* nSamplesProcessed) {
  if (!pSamples || !nSamplesProcessed) return E_POINTER;
  HRESULT hr = S_OK;
  *nSamplesProcessed = 0;
  while (*nSamplesProcessed < nSamples) {
    hr = Receive(pSamples[*nSamplesProcessed]);
    if (hr != S_OK) break;
    ++*nSamplesProcessed;
  }
  return hr;
}

HRESULT CBaseInputPin::ReceiveCanBlock() { return S_OK; }

HRESULT CBaseInputPin::BeginFlush() {
  CAutoLock lock(m_pLock);
  m_bFlushing = true;
  return S_OK;
}

HRESULT CBaseInputPin::EndFlush() {
  CAutoLock lock(m_pLock);
  m_bFlushing = false;
  m_bRunTimeError = false;
  return S_OK;
}

HRESULT CBaseInputPin::Inactive() {
  m_bRunTimeError = false;
  m_bFlushing = false;
  if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->Decommit();
}

HRESULT CBaseInputPin::BreakConnect() {
  if (m_pAllocator) {
    m_pAllocator->Decommit();
    m_pAllocator->Release();
    m_pAllocator = nullptr;
  }
  return S_OK;
}
