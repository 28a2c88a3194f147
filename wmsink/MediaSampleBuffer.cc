#include "MediaSampleBuffer.h"

#include <new>

#include "Unknown.h"

HRESULT MediaSampleBuffer::Create(IMediaSample* sample, ComPtr<INSSBuffer>* out) {
  if (!sample || !out) return E_POINTER;
  BYTE* data = nullptr;
  if (HRESULT hr = sample->GetPointer(&data); FAILED(hr)) return hr;
  const LONG size = sample->GetSize();
  const LONG length = sample->GetActualDataLength();
  if (size < 0 || length < 0 || length > size) return E_INVALIDARG;
  auto* buffer = new (std::nothrow)
      MediaSampleBuffer(sample, data, static_cast<DWORD>(size));
  if (!buffer) return E_OUTOFMEMORY;
  buffer->length_ = static_cast<DWORD>(length);
  out->Attach(buffer);
  return S_OK;
}

MediaSampleBuffer::MediaSampleBuffer(IMediaSample* sample, BYTE* data, DWORD capacity)
    : sample_(sample), data_(data), capacity_(capacity), length_(0) {}

HRESULT MediaSampleBuffer::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IID_INSSBuffer) return GetInterface(this, ppv);
  return E_NOINTERFACE;
}

ULONG MediaSampleBuffer::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG MediaSampleBuffer::Release() {
  const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

HRESULT MediaSampleBuffer::GetLength(DWORD* length) {
  if (!length) return E_POINTER;
  *length = length_;
  return S_OK;
}

HRESULT MediaSampleBuffer::SetLength(DWORD length) {
  if (length > capacity_) return E_INVALIDARG;
  length_ = length;
  return S_OK;
}

HRESULT MediaSampleBuffer::GetMaxLength(DWORD* length) {
  if (!length) return E_POINTER;
  *length = capacity_;
  return S_OK;
}

HRESULT MediaSampleBuffer::GetBuffer(BYTE** buffer) {
  if (!buffer) return E_POINTER;
  *buffer = data_;
  return S_OK;
}

HRESULT MediaSampleBuffer::GetBufferAndLength(BYTE** buffer, DWORD* length) {
  if (!buffer || !length) return E_POINTER;
  *buffer = data_;
  *length = length_;
  return S_OK;
}
