// A media type that owns its format block. The SDK's objects keep their types this way and
// hand out copies through the two-call GetMediaType convention.
#pragma once

#include <vector>

#include "WmTypes.h"

class OwnedMediaType {
 public:
  OwnedMediaType();
  explicit OwnedMediaType(const WM_MEDIA_TYPE& type) { Assign(type); }
  OwnedMediaType(const OwnedMediaType& other) { Assign(other.type_); }
  OwnedMediaType& operator=(const OwnedMediaType& other);

  // Copies `type` and its format block (pUnk is not kept).
  void Assign(const WM_MEDIA_TYPE& type);
  const WM_MEDIA_TYPE& Get() const { return type_; }

  // The format block as T when it is at least sizeof(T) long, else null.
  template <typename T>
  const T* FormatAs() const {
    return format_.size() >= sizeof(T) ? reinterpret_cast<const T*>(format_.data()) : nullptr;
  }
  template <typename T>
  T* MutableFormatAs() {
    return format_.size() >= sizeof(T) ? reinterpret_cast<T*>(format_.data()) : nullptr;
  }

  // The type and its format block as one block: the record, then the format block, with
  // pbFormat pointing into the block. `type` null: only the size is answered.
  HRESULT CopyOut(WM_MEDIA_TYPE* type, DWORD* size) const;

 private:
  WM_MEDIA_TYPE type_{};
  // The format block; type_.pbFormat points at its data (or is null when it is empty).
  std::vector<BYTE> format_;
};

struct IWMMediaProps;
// Reads the media type out of any IWMMediaProps.
HRESULT ReadMediaType(IWMMediaProps* props, OwnedMediaType* type);
