// ComPtr<T>: an owning reference to a COM interface (AddRef on copy, Release on reset).
#pragma once

#include <utility>

#include "Unknown.h"

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference to `p`.
  ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  operator T*() const { return p_; }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // For out-parameters of functions that return a new reference.
  T** ReleaseAndGetAddressOf() {
    Reset();
    return &p_;
  }
  T** GetAddressOf() { return &p_; }
  void** ReleaseAndGetVoidAddress() { return reinterpret_cast<void**>(ReleaseAndGetAddressOf()); }

  // Adopts a reference the caller already owns.
  void Attach(T* p) {
    Reset();
    p_ = p;
  }
  T* Detach() { return std::exchange(p_, nullptr); }

  template <typename U>
  HRESULT As(ComPtr<U>& out) const {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(__uuidof(U), out.ReleaseAndGetVoidAddress());
  }
  template <typename U>
  ComPtr<U> As() const {
    ComPtr<U> out;
    (void)As(out);
    return out;
  }

 private:
  T* p_ = nullptr;
};
