// A media type read from the format SDK together with its format block, in one block of
// memory the writer context owns: the WM_MEDIA_TYPE record, then the format block, with
// pbFormat pointing to it.
#pragma once

#include <cstdint>
#include <vector>

#include "Wmsdk.h"

class MediaTypeBlock {
 public:
  // Copies the type `props` holds; fails with the SDK's status.
  HRESULT ReadFrom(IWMMediaProps* props);

  bool Empty() const { return block_.empty(); }
  WM_MEDIA_TYPE* Type() { return Empty() ? nullptr : reinterpret_cast<WM_MEDIA_TYPE*>(block_.data()); }
  // The format block as T when it is long enough, else null.
  template <typename T>
  T* FormatAs() {
    WM_MEDIA_TYPE* type = Type();
    return type && type->pbFormat && type->cbFormat >= sizeof(T)
               ? reinterpret_cast<T*>(type->pbFormat)
               : nullptr;
  }

 private:
  std::vector<uint64_t> block_;  // 8-byte units keep the record aligned
};
