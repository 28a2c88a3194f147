#include "Allocator.h"

CMediaSample::CMediaSample(const char* name, CBaseAllocator* allocator, BYTE* buffer, LONG length)
    : m_pAllocator(allocator),
      m_pBuffer(buffer),
      m_cbBuffer(length),
      m_pName(name),
      m_lActual(length) {}

CMediaSample::~CMediaSample() { DeleteMediaType(m_pMediaType); }

HRESULT CMediaSample::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IMediaSample || riid == IID_IUnknown) {
    return GetInterface(static_cast<IMediaSample*>(this), ppv);
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG CMediaSample::AddRef() { return static_cast<ULONG>(++m_cRef); }

ULONG CMediaSample::Release() {
  const LONG count = --m_cRef;
  if (count == 0) {
    ResetProperties();
    m_pAllocator->ReleaseBuffer(this);
  }
  return static_cast<ULONG>(count);
}

void CMediaSample::ResetProperties() {
  DeleteMediaType(m_pMediaType);
  m_pMediaType = nullptr;
  m_dwFlags = 0;
  // A fresh sample's data fills the buffer until its user says otherwise.
  m_lActual = m_cbBuffer;
}

HRESULT CMediaSample::GetPointer(BYTE** ppBuffer) {
  if (!ppBuffer) return E_POINTER;
  *ppBuffer = m_pBuffer;
  return S_OK;
}

LONG CMediaSample::GetSize() { return m_cbBuffer; }

HRESULT CMediaSample::GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
  if (!pTimeStart || !pTimeEnd) return E_POINTER;
  if (!(m_dwFlags & Sample_TimeValid)) return VFW_E_SAMPLE_TIME_NOT_SET;
  *pTimeStart = m_Start;
  if (m_dwFlags & Sample_StopValid) {
    *pTimeEnd = m_End;
    return S_OK;
  }
  *pTimeEnd = m_Start + 1;
  return VFW_S_NO_STOP_TIME;
}

HRESULT CMediaSample::SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
  if (!pTimeStart) {
    m_dwFlags &= ~(Sample_TimeValid | Sample_StopValid);
    return S_OK;
  }
  m_Start = *pTimeStart;
  m_dwFlags |= Sample_TimeValid;
  if (pTimeEnd) {
    m_End = *pTimeEnd;
    m_dwFlags |= Sample_StopValid;
  } else {
    m_dwFlags &= ~Sample_StopValid;
  }
  return S_OK;
}

HRESULT CMediaSample::IsSyncPoint() { return (m_dwFlags & Sample_SyncPoint) ? S_OK : S_FALSE; }

HRESULT CMediaSample::SetSyncPoint(BOOL bIsSyncPoint) {
  m_dwFlags = bIsSyncPoint ? (m_dwFlags | Sample_SyncPoint) : (m_dwFlags & ~Sample_SyncPoint);
  return S_OK;
}

HRESULT CMediaSample::IsPreroll() { return (m_dwFlags & Sample_Preroll) ? S_OK : S_FALSE; }

HRESULT CMediaSample::SetPreroll(BOOL bIsPreroll) {
  m_dwFlags = bIsPreroll ? (m_dwFlags | Sample_Preroll) : (m_dwFlags & ~Sample_Preroll);
  return S_OK;
}

LONG CMediaSample::GetActualDataLength() { return m_lActual; }

HRESULT CMediaSample::SetActualDataLength(LONG length) {
  if (length < 0 || length > m_cbBuffer) return VFW_E_BUFFER_OVERFLOW;
  m_lActual = length;
  return S_OK;
}

HRESULT CMediaSample::GetMediaType(AM_MEDIA_TYPE** ppMediaType) {
  if (!ppMediaType) return E_POINTER;
  *ppMediaType = nullptr;
  if (!(m_dwFlags & Sample_TypeChanged)) return S_FALSE;
  *ppMediaType = CreateMediaType(m_pMediaType);
  return *ppMediaType ? S_OK : E_OUTOFMEMORY;
}

HRESULT CMediaSample::SetMediaType(AM_MEDIA_TYPE* pMediaType) {
  DeleteMediaType(m_pMediaType);
  m_pMediaType = nullptr;
  m_dwFlags &= ~Sample_TypeChanged;
  if (!pMediaType) return S_OK;
  m_pMediaType = CreateMediaType(pMediaType);
  if (!m_pMediaType) return E_OUTOFMEMORY;
  m_dwFlags |= Sample_TypeChanged;
  return S_OK;
}

HRESULT CMediaSample::IsDiscontinuity() {
  return (m_dwFlags & Sample_Discontinuity) ? S_OK : S_FALSE;
}

HRESULT CMediaSample::SetDiscontinuity(BOOL bDiscontinuity) {
  m_dwFlags = bDiscontinuity ? (m_dwFlags | Sample_Discontinuity)
                             : (m_dwFlags & ~Sample_Discontinuity);
  return S_OK;
}

HRESULT CMediaSample::GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
  if (!pTimeStart || !pTimeEnd) return E_POINTER;
  if (!(m_dwFlags & Sample_MediaTimeValid)) return VFW_E_MEDIA_TIME_NOT_SET;
  *pTimeStart = m_MediaStart;
  *pTimeEnd = m_MediaEnd;
  return S_OK;
}

HRESULT CMediaSample::SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
  if (!pTimeStart) {
    m_dwFlags &= ~Sample_MediaTimeValid;
    return S_OK;
  }
  if (!pTimeEnd) return E_POINTER;
  m_MediaStart = *pTimeStart;
  m_MediaEnd = *pTimeEnd;
  m_dwFlags |= Sample_MediaTimeValid;
  return S_OK;
}
