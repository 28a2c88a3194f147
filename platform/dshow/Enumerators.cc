#include "Filter.h"

CEnumPins::CEnumPins(CBaseFilter* filter, const CEnumPins* copyFrom)
    : CUnknown("CEnumPins", nullptr),
      m_pFilter(filter),
      m_Position(copyFrom ? copyFrom->m_Position : 0),
      m_Version(copyFrom ? copyFrom->m_Version : filter->GetPinVersion()) {
  m_pFilter->AddRef();
}

CEnumPins::~CEnumPins() { m_pFilter->Release(); }

HRESULT CEnumPins::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IEnumPins) return GetInterface(static_cast<IEnumPins*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CEnumPins::Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) {
  if (!ppPins) return E_POINTER;
  if (cPins > 1 && !pcFetched) return E_INVALIDARG;
  if (pcFetched) *pcFetched = 0;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  ULONG fetched = 0;
  while (fetched < cPins && m_Position < m_pFilter->GetPinCount()) {
    CBasePin* pin = m_pFilter->GetPin(m_Position++);
    if (!pin) continue;
    ppPins[fetched] = pin;
    pin->AddRef();
    ++fetched;
  }
  if (pcFetched) *pcFetched = fetched;
  return fetched == cPins ? S_OK : S_FALSE;
}

HRESULT CEnumPins::Skip(ULONG cPins) {
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  const int remaining = m_pFilter->GetPinCount() - m_Position;
  if (static_cast<int64_t>(cPins) > remaining) return S_FALSE;
  m_Position += static_cast<int>(cPins);
  return S_OK;
}

HRESULT CEnumPins::Reset() {
  m_Version = m_pFilter->GetPinVersion();
  m_Position = 0;
  return S_OK;
}

HRESULT CEnumPins::Clone(IEnumPins** ppEnum) {
  if (!ppEnum) return E_POINTER;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  auto* copy = new CEnumPins(m_pFilter, this);
  return GetInterface(static_cast<IEnumPins*>(copy), reinterpret_cast<void**>(ppEnum));
}

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* copyFrom)
    : CUnknown("CEnumMediaTypes", nullptr),
      m_pPin(pin),
      m_Position(copyFrom ? copyFrom->m_Position : 0),
      m_Version(copyFrom ? copyFrom->m_Version : pin->GetMediaTypeVersion()) {
  m_pPin->AddRef();
}

CEnumMediaTypes::~CEnumMediaTypes() { m_pPin->Release(); }

HRESULT CEnumMediaTypes::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IEnumMediaTypes) return GetInterface(static_cast<IEnumMediaTypes*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CEnumMediaTypes::Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) {
  if (!ppMediaTypes) return E_POINTER;
  if (cMediaTypes > 1 && !pcFetched) return E_INVALIDARG;
  if (pcFetched) *pcFetched = 0;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  ULONG fetched = 0;
  while (fetched < cMediaTypes) {
    CMediaType type;
    if (m_pPin->GetMediaType(m_Position, &type) != S_OK) break;
    AM_MEDIA_TYPE* copy = CreateMediaType(&type);
    if (!copy) break;
    ppMediaTypes[fetched++] = copy;
    ++m_Position;
  }
  if (pcFetched) *pcFetched = fetched;
  return fetched == cMediaTypes ? S_OK : S_FALSE;
}

HRESULT CEnumMediaTypes::Skip(ULONG cMediaTypes) {
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  for (; cMediaTypes > 0; --cMediaTypes) {
    CMediaType type;
    if (m_pPin->GetMediaType(m_Position, &type) != S_OK) return S_FALSE;
    ++m_Position;
  }
  return S_OK;
}

HRESULT CEnumMediaTypes::Reset() {
  m_Version = m_pPin->GetMediaTypeVersion();
  m_Position = 0;
  return S_OK;
}

HRESULT CEnumMediaTypes::Clone(IEnumMediaTypes** ppEnum) {
  if (!ppEnum) return E_POINTER;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  auto* copy = new CEnumMediaTypes(m_pPin, this);
  return GetInterface(static_cast<IEnumMediaTypes*>(copy), reinterpret_cast<void**>(ppEnum));
}
