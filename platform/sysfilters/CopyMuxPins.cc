#include "CopyMuxPins.h"

#include <algorithm>

#include "CopyMux.h"
#include "CopyMuxIds.h"

namespace {

constexpr char16_t kOutputName[] = u"Out";
// Buffers between the multiplexer and the writer: the multiplexer's I/O buffer size each.
constexpr LONG kOutputBuffers = 4;
constexpr LONG kOutputBufferSize = 64 * 1024;

}  // namespace

CopyMuxInputPin::CopyMuxInputPin(CopyMux* mux, CCritSec* lock, HRESULT* phr, CopyPinKind kind)
    : CBaseInputPin("Copy mux input", mux, lock, phr,
                    kind == CopyPinKind::Video ? kCopyMuxVideoPin : kCopyMuxAudioPin),
      m_pMux(mux),
      m_kind(kind) {}

HRESULT CopyMuxInputPin::CheckMediaType(const CMediaType* pmt) {
  if (!pmt) return E_POINTER;
  CopyStreamFormat format;
  return m_kind == CopyPinKind::Video ? DescribeCopyVideo(*pmt, format)
                                      : DescribeCopyAudio(*pmt, m_pMux->Container(), format);
}

HRESULT CopyMuxInputPin::Describe(CopyStreamFormat& format) {
  if (!IsConnected()) return VFW_E_NOT_CONNECTED;
  const CMediaType& mt = CurrentMediaType();
  return m_kind == CopyPinKind::Video ? DescribeCopyVideo(mt, format)
                                      : DescribeCopyAudio(mt, m_pMux->Container(), format);
}

HRESULT CopyMuxInputPin::Receive(IMediaSample* pSample) {
  const HRESULT hr = CBaseInputPin::Receive(pSample);
  if (hr != S_OK) return hr;
  return m_pMux->Receive(this, pSample);
}

HRESULT CopyMuxInputPin::EndOfStream() {
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  return m_pMux->EndOfStream(this);
}

CopyMuxOutputPin::CopyMuxOutputPin(CopyMux* mux, CCritSec* lock, HRESULT* phr)
    : CBaseOutputPin("Copy mux output", mux, lock, phr, kOutputName), m_pMux(mux) {}

HRESULT CopyMuxOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IMediaSeeking) return m_pMux->QueryInterface(riid, ppv);
  return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CopyMuxOutputPin::CheckMediaType(const CMediaType* pmt) {
  if (!pmt) return E_POINTER;
  return pmt->majortype == MEDIATYPE_Stream ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CopyMuxOutputPin::GetMediaType(int position, CMediaType* pmt) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  pmt->InitMediaType();
  pmt->SetType(&MEDIATYPE_Stream);
  pmt->SetSubtype(&GUID_NULL);
  pmt->SetFormatType(&FORMAT_None);
  pmt->SetVariableSize();
  return S_OK;
}

HRESULT CopyMuxOutputPin::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) {
  pProp->cBuffers = std::max(pProp->cBuffers, kOutputBuffers);
  pProp->cbBuffer = std::max(pProp->cbBuffer, kOutputBufferSize);
  pProp->cbAlign = std::max<LONG>(pProp->cbAlign, 1);
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = pAlloc->SetProperties(pProp, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer > 0 && actual.cBuffers > 0 ? S_OK : E_FAIL;
}
