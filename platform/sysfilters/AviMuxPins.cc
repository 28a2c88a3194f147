#include "AviMuxPins.h"

#include "AviMux.h"
#include "AviStreamFormat.h"

namespace {

constexpr char16_t kOutputName[] = u"AVI Out";
// Buffers between the multiplexer and the writer: the multiplexer's I/O buffer size each.
constexpr LONG kOutputBuffers = 4;
constexpr LONG kOutputBufferSize = 64 * 1024;

}  // namespace

AviMuxInputPin::AviMuxInputPin(AviMux* mux, CCritSec* lock, HRESULT* phr, LPCWSTR name)
    : CBaseInputPin("AVI Mux input", mux, lock, phr, name), m_pMux(mux) {}

HRESULT AviMuxInputPin::CheckMediaType(const CMediaType* pmt) {
  if (!pmt) return E_POINTER;
  return DescribeAviStream(*pmt, nullptr, nullptr);
}

HRESULT AviMuxInputPin::CompleteConnect(IPin* pReceivePin) {
  const HRESULT hr = CBaseInputPin::CompleteConnect(pReceivePin);
  if (SUCCEEDED(hr)) m_pMux->InputConnected();
  return hr;
}

HRESULT AviMuxInputPin::Receive(IMediaSample* pSample) {
  const HRESULT hr = CBaseInputPin::Receive(pSample);
  if (hr != S_OK) return hr;
  return m_pMux->Receive(this, pSample);
}

HRESULT AviMuxInputPin::EndOfStream() {
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  return m_pMux->EndOfStream(this);
}

AviMuxOutputPin::AviMuxOutputPin(AviMux* mux, CCritSec* lock, HRESULT* phr)
    : CBaseOutputPin("AVI Mux output", mux, lock, phr, kOutputName), m_pMux(mux) {}

HRESULT AviMuxOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IMediaSeeking) return m_pMux->QueryInterface(riid, ppv);
  return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT AviMuxOutputPin::CheckMediaType(const CMediaType* pmt) {
  if (!pmt) return E_POINTER;
  if (pmt->majortype != MEDIATYPE_Stream) return VFW_E_TYPE_NOT_ACCEPTED;
  if (pmt->subtype != MEDIASUBTYPE_Avi && pmt->subtype != GUID_NULL)
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT AviMuxOutputPin::GetMediaType(int position, CMediaType* pmt) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  pmt->InitMediaType();
  pmt->SetType(&MEDIATYPE_Stream);
  pmt->SetSubtype(&MEDIASUBTYPE_Avi);
  pmt->SetFormatType(&FORMAT_None);
  pmt->SetVariableSize();
  return S_OK;
}

HRESULT AviMuxOutputPin::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) {
  pProp->cBuffers = std::max(pProp->cBuffers, kOutputBuffers);
  pProp->cbBuffer = std::max(pProp->cbBuffer, kOutputBufferSize);
  pProp->cbAlign = std::max<LONG>(pProp->cbAlign, 1);
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = pAlloc->SetProperties(pProp, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer > 0 && actual.cBuffers > 0 ? S_OK : E_FAIL;
}
