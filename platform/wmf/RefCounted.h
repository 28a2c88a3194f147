// Reference counting for the format SDK's objects. An object starts with one reference, held
// by whoever created it; the last Release deletes it. A class that implements several
// interfaces states WM_REFCOUNTED once so that every interface shares the one count.
#pragma once

#include <atomic>

#include "WinTypes.h"

class RefCounted {
 protected:
  RefCounted() = default;
  virtual ~RefCounted() = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  ULONG AddRefOnce() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG ReleaseOnce() {
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

#define WM_REFCOUNTED                                \
  ULONG AddRef() override { return AddRefOnce(); }   \
  ULONG Release() override { return ReleaseOnce(); }
