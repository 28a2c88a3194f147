#include "Allocator.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

CBaseAllocator::CBaseAllocator(const char* name, IUnknown* outer) : CUnknown(name, outer) {}

// The derived destructor has freed the buffers (Free needs the derived class).
CBaseAllocator::~CBaseAllocator() = default;

HRESULT CBaseAllocator::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IMemAllocator) return GetInterface(static_cast<IMemAllocator*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBaseAllocator::SetProperties(ALLOCATOR_PROPERTIES* pRequest,
                                      ALLOCATOR_PROPERTIES* pActual) {
  if (!pRequest || !pActual) return E_POINTER;
  if (pRequest->cBuffers < 0 || pRequest->cbBuffer < 0 || pRequest->cbPrefix < 0 ||
      pRequest->cbAlign < 0)
    return E_INVALIDARG;
  std::lock_guard guard(m_lock);
  if (m_bCommitted) return VFW_E_ALREADY_COMMITTED;
  if (m_free.size() != m_samples.size()) return VFW_E_BUFFERS_OUTSTANDING;
  m_lCount = pRequest->cBuffers;
  m_lSize = pRequest->cbBuffer;
  m_lAlignment = pRequest->cbAlign;
  m_lPrefix = pRequest->cbPrefix;
  *pActual = *pRequest;
  return S_OK;
}

HRESULT CBaseAllocator::GetProperties(ALLOCATOR_PROPERTIES* pProps) {
  if (!pProps) return E_POINTER;
  std::lock_guard guard(m_lock);
  pProps->cBuffers = m_lCount;
  pProps->cbBuffer = m_lSize;
  pProps->cbAlign = m_lAlignment;
  pProps->cbPrefix = m_lPrefix;
  return S_OK;
}

HRESULT CBaseAllocator::Commit() {
  std::lock_guard guard(m_lock);
  if (m_bCommitted) return S_OK;
  if (m_bDecommitInProgress) {
    // Samples are still out and the buffers were never freed: use them again.
    m_bDecommitInProgress = false;
    m_bCommitted = true;
    return S_OK;
  }
  if (m_lCount <= 0 || m_lSize <= 0) return VFW_E_SIZENOTSET;
  const HRESULT hr = Alloc();
  if (FAILED(hr)) return hr;
  m_bCommitted = true;
  return S_OK;
}

HRESULT CBaseAllocator::Decommit() {
  {
    std::lock_guard guard(m_lock);
    if (!m_bCommitted) return S_OK;
    m_bCommitted = false;
    if (m_free.size() == m_samples.size()) {
      Free();
    } else {
      m_bDecommitInProgress = true;
    }
  }
  m_freed.notify_all();
  return S_OK;
}

HRESULT CBaseAllocator::GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime,
                                  REFERENCE_TIME* pEndTime, DWORD dwFlags) {
  if (!ppBuffer) return E_POINTER;
  *ppBuffer = nullptr;
  CMediaSample* sample = nullptr;
  {
    std::unique_lock guard(m_lock);
    for (;;) {
      if (!m_bCommitted) return VFW_E_NOT_COMMITTED;
      if (!m_free.empty()) break;
      if (dwFlags & AM_GBF_NOWAIT) return VFW_E_TIMEOUT;
      m_freed.wait(guard);
    }
    sample = m_free.back();
    m_free.pop_back();
    sample->m_cRef = 1;
  }
  // The sample keeps its allocator alive until it comes back.
  AddRef();
  sample->SetTime(pStartTime, pEndTime);
  *ppBuffer = sample;
  return S_OK;
}

HRESULT CBaseAllocator::ReleaseBuffer(IMediaSample* pBuffer) {
  if (!pBuffer) return E_POINTER;
  {
    std::lock_guard guard(m_lock);
    m_free.push_back(static_cast<CMediaSample*>(pBuffer));
    if (m_bDecommitInProgress && m_free.size() == m_samples.size()) {
      m_bDecommitInProgress = false;
      Free();
    }
  }
  m_freed.notify_one();
  Release();  // the reference GetBuffer took for this sample; may delete the allocator
  return S_OK;
}

CMemAllocator::CMemAllocator(const char* name, IUnknown* outer) : CBaseAllocator(name, outer) {}

CMemAllocator::~CMemAllocator() {
  std::lock_guard guard(m_lock);
  Free();
}

CUnknown* CMemAllocator::CreateInstance(IUnknown* outer, HRESULT* phr) {
  if (phr) *phr = S_OK;
  return new CMemAllocator("CMemAllocator", outer);
}

HRESULT CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES* pRequest,
                                     ALLOCATOR_PROPERTIES* pActual) {
  if (!pRequest || !pActual) return E_POINTER;
  const LONG align = pRequest->cbAlign;
  if (align <= 0 || (align & (align - 1)) != 0) return VFW_E_BADALIGN;
  ALLOCATOR_PROPERTIES adjusted = *pRequest;
  // Round the size up so that prefix + buffer is a whole number of alignment units.
  const int64_t span = static_cast<int64_t>(adjusted.cbBuffer) + adjusted.cbPrefix;
  const int64_t remainder = span % align;
  if (remainder != 0) {
    const int64_t grown = adjusted.cbBuffer + (align - remainder);
    if (grown > INT32_MAX) return E_OUTOFMEMORY;
    adjusted.cbBuffer = static_cast<LONG>(grown);
  }
  return CBaseAllocator::SetProperties(&adjusted, pActual);
}

HRESULT CMemAllocator::Alloc() {
  const int64_t stride = static_cast<int64_t>(m_lSize) + m_lPrefix;
  const int64_t total = stride * m_lCount;
  if (stride > INT32_MAX || total > INT32_MAX) return E_OUTOFMEMORY;
  // posix_memalign needs at least pointer alignment.
  const size_t alignment = std::max<size_t>(m_lAlignment, sizeof(void*));
  void* memory = nullptr;
  if (posix_memalign(&memory, alignment, static_cast<size_t>(total)) != 0) return E_OUTOFMEMORY;
  m_pMemory = static_cast<BYTE*>(memory);
  m_samples.reserve(static_cast<size_t>(m_lCount));
  m_free.reserve(static_cast<size_t>(m_lCount));
  for (LONG i = 0; i < m_lCount; ++i) {
    BYTE* buffer = m_pMemory + stride * i + m_lPrefix;
    m_samples.push_back(std::make_unique<CMediaSample>("CMediaSample", this, buffer, m_lSize));
    m_free.push_back(m_samples.back().get());
  }
  return S_OK;
}

void CMemAllocator::Free() {
  m_free.clear();
  m_samples.clear();
  std::free(m_pMemory);
  m_pMemory = nullptr;
}
