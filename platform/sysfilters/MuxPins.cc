#include "MuxPins.h"

#include <algorithm>

namespace {

// Buffers between the multiplexer and the writer: the multiplexer's I/O buffer size each.
constexpr LONG kOutputBuffers = 4;
constexpr LONG kOutputBufferSize = 64 * 1024;

}  // namespace

MuxInputPin::MuxInputPin(const char* objectName, MuxFilter* mux, CCritSec* lock, HRESULT* phr,
                         LPCWSTR name)
    : CBaseInputPin(objectName, mux, lock, phr, name), m_pMux(mux) {}

HRESULT MuxInputPin::Receive(IMediaSample* pSample) {
  const HRESULT hr = CBaseInputPin::Receive(pSample);
  if (hr != S_OK) return hr;
  return m_pMux->Receive(this, pSample);
}

HRESULT MuxInputPin::EndOfStream() {
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  return m_pMux->EndOfStream(this);
}

MuxOutputPin::MuxOutputPin(MuxFilter* mux, CCritSec* lock, HRESULT* phr,
                           const MuxOutputInfo& info)
    : CBaseOutputPin(info.objectName, mux, lock, phr, info.pinName),
      m_pMux(mux),
      m_subtype(*info.subtype) {}

HRESULT MuxOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IMediaSeeking) return m_pMux->QueryInterface(riid, ppv);
  return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT MuxOutputPin::CheckMediaType(const CMediaType* pmt) {
  if (!pmt) return E_POINTER;
  if (pmt->majortype != MEDIATYPE_Stream) return VFW_E_TYPE_NOT_ACCEPTED;
  if (m_subtype == GUID_NULL || pmt->subtype == GUID_NULL) return S_OK;
  return pmt->subtype == m_subtype ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT MuxOutputPin::GetMediaType(int position, CMediaType* pmt) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  pmt->InitMediaType();
  pmt->SetType(&MEDIATYPE_Stream);
  pmt->SetSubtype(&m_subtype);
  pmt->SetFormatType(&FORMAT_None);
  pmt->SetVariableSize();
  return S_OK;
}

HRESULT MuxOutputPin::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) {
  pProp->cBuffers = std::max(pProp->cBuffers, kOutputBuffers);
  pProp->cbBuffer = std::max(pProp->cbBuffer, kOutputBufferSize);
  pProp->cbAlign = std::max<LONG>(pProp->cbAlign, 1);
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = pAlloc->SetProperties(pProp, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer > 0 && actual.cBuffers > 0 ? S_OK : E_FAIL;
}
