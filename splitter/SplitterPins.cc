#include "SplitterPins.h"

#include "DShowErrors.h"
#include "OutputTypes.h"
#include "SplitterFilter.h"
#include "recorder/RecorderGuids.h"
#include "recorder/Trace.h"

namespace splitter {

using recorder::Trace;

CSplitterInputPin::CSplitterInputPin(CQrlNetSplitter* filter, CCritSec* lock, HRESULT* phr)
    : CBaseInputPin("Splitter input pin", filter, lock, phr, u"Stream Input"),
      m_splitter(filter) {}

HRESULT CSplitterInputPin::CheckMediaType(const CMediaType* pmt) {
  if (!pmt) return E_FAIL;
  if (pmt->majortype != MEDIATYPE_RecorderStream || pmt->subtype != MEDIASUBTYPE_RecorderStream)
    return E_UNEXPECTED;
  Trace("Majortype and subtype match!");
  if (pmt->formattype != FORMAT_RecorderStream) return E_UNEXPECTED;
  Trace("Formattype match!");
  if (!pmt->pbFormat || pmt->cbFormat < recorder::kFileHeaderSize) return E_UNEXPECTED;
  const auto header =
      recorder::ParseFileHeader(recorder::ByteSpan(pmt->pbFormat, recorder::kFileHeaderSize));
  recorder::TraceF("version: %x", header->version);
  m_splitter->SetConnectionHeader(*header);
  return S_OK;
}

HRESULT CSplitterInputPin::GetMediaType(int position, CMediaType* pMediaType) {
  if (position != 0) return VFW_S_NO_MORE_ITEMS;
  pMediaType->InitMediaType();
  pMediaType->SetType(&MEDIATYPE_RecorderStream);
  pMediaType->SetSubtype(&MEDIASUBTYPE_RecorderStream);
  pMediaType->SetFormatType(&FORMAT_RecorderStream);
  pMediaType->SetVariableSize();
  pMediaType->SetTemporalCompression(TRUE);
  return S_OK;
}

HRESULT CSplitterInputPin::Receive(IMediaSample* pSample) {
  if (!pSample) return E_POINTER;
  BYTE* data = nullptr;
  const HRESULT hr = pSample->GetPointer(&data);
  if (FAILED(hr)) return hr;
  return m_splitter->Parser().Receive(data, pSample->GetActualDataLength());
}

CSplitterOutputPin::CSplitterOutputPin(CQrlNetSplitter* filter, CCritSec* lock, HRESULT* phr,
                                       OutputKind kind)
    : CBaseOutputPin(kind == OutputKind::Video ? "Splitter video pin" : "Splitter audio pin",
                     filter, lock, phr, kind == OutputKind::Video ? u"Video Out" : u"Audio Out"),
      m_splitter(filter),
      m_kind(kind),
      m_seeking(static_cast<IPin*>(this), [filter] { return filter->VideoClock(); }) {}

HRESULT CSplitterOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid != IID_IMediaSeeking) return CBaseOutputPin::NonDelegatingQueryInterface(riid, ppv);
  if (!ppv) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (!m_seeking.Attach(m_splitter->GetPin(0))) {
    *ppv = nullptr;
    return E_OUTOFMEMORY;
  }
  return GetInterface(static_cast<IMediaSeeking*>(&m_seeking), ppv);
}

HRESULT CSplitterOutputPin::CheckMediaType(const CMediaType* pmt) {
  if (!pmt) return E_FAIL;
  const bool accepted =
      m_kind == OutputKind::Video ? IsVideoOutputType(*pmt) : IsAudioOutputType(*pmt);
  return accepted ? S_OK : E_FAIL;
}

HRESULT CSplitterOutputPin::GetMediaType(int position, CMediaType* pMediaType) {
  if (position != 0) return VFW_S_NO_MORE_ITEMS;
  ConnectionFormat format;
  if (!m_splitter->ConnectedFormat(format))
    return m_kind == OutputKind::Video ? VFW_S_NO_MORE_ITEMS : E_FAIL;
  return m_kind == OutputKind::Video ? BuildVideoType(format, pMediaType)
                                     : BuildAudioType(format, pMediaType);
}

HRESULT CSplitterOutputPin::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) {
  pProp->cBuffers = kBuffers;
  pProp->cbBuffer = kBufferSize;
  pProp->cbAlign = 1;
  pProp->cbPrefix = 0;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = pAlloc->SetProperties(pProp, &actual);
  if (FAILED(hr)) return hr;
  if (actual.cBuffers < pProp->cBuffers || actual.cbBuffer < pProp->cbBuffer ||
      actual.cbAlign < pProp->cbAlign || actual.cbPrefix < pProp->cbPrefix)
    return E_FAIL;
  return S_OK;
}

}  // namespace splitter
