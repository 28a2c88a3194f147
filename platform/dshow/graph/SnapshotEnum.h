// SnapshotEnum: an enumerator (IEnumMoniker, IEnumFilters, IEnumRegFilters ...) over a list
// taken when it was made. Later changes to the source do not show; Clone copies the list and the
// position. `Traits` says what is stored (`Stored`), what the caller receives (`Out`) and how
// one is handed out (`static bool HandOut(const Stored&, Out& out)`, false when memory runs out);
// InterfaceTraits stores interface pointers and hands out new references.
#pragma once

#include <vector>

#include "ComBase.h"
#include "ComPtr.h"

template <typename Item>
struct InterfaceTraits {
  using Stored = ComPtr<Item>;
  using Out = Item*;
  static bool HandOut(const Stored& item, Out& out) {
    out = item.Get();
    out->AddRef();
    return true;
  }
};

template <typename IEnum, typename Traits>
class SnapshotEnum : public CUnknown, public IEnum {
 public:
  using Stored = typename Traits::Stored;
  using Out = typename Traits::Out;

  explicit SnapshotEnum(std::vector<Stored> items, size_t position = 0)
      : CUnknown("SnapshotEnum", nullptr), items_(std::move(items)), position_(position) {}

  // A new enumerator with one reference, or E_OUTOFMEMORY.
  static HRESULT Create(std::vector<Stored> items, IEnum** out) {
    if (!out) return E_POINTER;
    auto* e = new (std::nothrow) SnapshotEnum(std::move(items));
    if (!e) return E_OUTOFMEMORY;
    e->NonDelegatingAddRef();
    *out = e;
    return S_OK;
  }

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (riid == IEnum::kIid) return GetInterface(static_cast<IEnum*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
  }

  // S_OK when `count` items were fetched, S_FALSE when fewer were left.
  HRESULT Next(ULONG count, Out* out, ULONG* fetched) override {
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    for (; n < count && position_ < items_.size(); ++n, ++position_)
      if (!Traits::HandOut(items_[position_], out[n])) break;
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    const size_t left = items_.size() - position_;
    position_ += std::min<size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnum** out) override {
    if (!out) return E_POINTER;
    auto* e = new (std::nothrow) SnapshotEnum(items_, position_);
    if (!e) return E_OUTOFMEMORY;
    e->NonDelegatingAddRef();
    *out = e;
    return S_OK;
  }

 private:
  // An enumerator belongs to one thread at a time, like every COM enumerator.
  const std::vector<Stored> items_;
  size_t position_;
};
