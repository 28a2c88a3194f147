#include "SamplePool.h"

#include <algorithm>
#include <atomic>
#include <new>

namespace {

constexpr size_t kMaxIdleBuffers = 16;
constexpr DWORD kMaxSampleSize = 256 * 1024 * 1024;

}  // namespace

class SampleBuffer final : public INSSBuffer {
 public:
  explicit SampleBuffer(std::weak_ptr<SamplePool> pool) : pool_(std::move(pool)) {}

  // False when the storage cannot grow to `size`.
  bool Reset(DWORD size) {
    try {
      if (storage_.size() < size) storage_.resize(size);
    } catch (const std::bad_alloc&) {
      return false;
    }
    length_ = size;
    refs_.store(1, std::memory_order_relaxed);
    return true;
  }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_INSSBuffer) return GetInterface(this, ppv);
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG Release() override {
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) {
      if (auto pool = pool_.lock()) pool->Recycle(this);
      else delete this;
    }
    return left;
  }

  HRESULT GetLength(DWORD* length) override {
    if (!length) return E_POINTER;
    *length = length_;
    return S_OK;
  }
  HRESULT SetLength(DWORD length) override {
    if (length > storage_.size()) return E_INVALIDARG;
    length_ = length;
    return S_OK;
  }
  HRESULT GetMaxLength(DWORD* length) override {
    if (!length) return E_POINTER;
    *length = static_cast<DWORD>(storage_.size());
    return S_OK;
  }
  HRESULT GetBuffer(BYTE** buffer) override {
    if (!buffer) return E_POINTER;
    *buffer = storage_.data();
    return S_OK;
  }
  HRESULT GetBufferAndLength(BYTE** buffer, DWORD* length) override {
    if (!buffer || !length) return E_POINTER;
    *buffer = storage_.data();
    *length = length_;
    return S_OK;
  }

  DWORD Capacity() const { return static_cast<DWORD>(storage_.size()); }

 private:
  std::weak_ptr<SamplePool> pool_;
  std::atomic<ULONG> refs_{1};
  std::vector<BYTE> storage_;
  DWORD length_ = 0;
};

SamplePool::~SamplePool() {
  for (SampleBuffer* buffer : idle_) delete buffer;
}

HRESULT SamplePool::Allocate(DWORD size, INSSBuffer** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (size > kMaxSampleSize) return E_INVALIDARG;
  SampleBuffer* buffer = nullptr;
  {
    std::lock_guard guard(lock_);
    // Prefer a buffer that is already large enough; otherwise grow the last one.
    auto fits = std::find_if(idle_.begin(), idle_.end(),
                             [size](SampleBuffer* b) { return b->Capacity() >= size; });
    if (fits == idle_.end() && !idle_.empty()) fits = idle_.end() - 1;
    if (fits != idle_.end()) {
      buffer = *fits;
      idle_.erase(fits);
    }
  }
  if (!buffer) buffer = new (std::nothrow) SampleBuffer(weak_from_this());
  if (!buffer) return E_OUTOFMEMORY;
  if (!buffer->Reset(size)) {
    delete buffer;
    return E_OUTOFMEMORY;
  }
  *out = buffer;
  return S_OK;
}

void SamplePool::Recycle(SampleBuffer* buffer) {
  {
    std::lock_guard guard(lock_);
    if (idle_.size() < kMaxIdleBuffers) {
      idle_.push_back(buffer);
      return;
    }
  }
  delete buffer;
}
