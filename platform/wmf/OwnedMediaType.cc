#include "OwnedMediaType.h"

#include <cstring>

#include "Wmsdk.h"

OwnedMediaType::OwnedMediaType() { Assign(WM_MEDIA_TYPE{}); }

OwnedMediaType& OwnedMediaType::operator=(const OwnedMediaType& other) {
  if (this != &other) Assign(other.type_);
  return *this;
}

void OwnedMediaType::Assign(const WM_MEDIA_TYPE& type) {
  // Copy the format first: `type` may be this object's own record.
  std::vector<BYTE> format;
  if (type.pbFormat && type.cbFormat > 0)
    format.assign(type.pbFormat, type.pbFormat + type.cbFormat);
  type_ = type;
  format_ = std::move(format);
  type_.pUnk = nullptr;
  type_.cbFormat = static_cast<ULONG>(format_.size());
  type_.pbFormat = format_.empty() ? nullptr : format_.data();
}

HRESULT OwnedMediaType::CopyOut(WM_MEDIA_TYPE* type, DWORD* size) const {
  if (!size) return E_POINTER;
  const DWORD needed = static_cast<DWORD>(sizeof(WM_MEDIA_TYPE) + format_.size());
  const DWORD available = *size;
  *size = needed;
  if (!type) return S_OK;
  if (available < needed) return ASF_E_BUFFERTOOSMALL;
  *type = type_;
  BYTE* block = reinterpret_cast<BYTE*>(type) + sizeof(WM_MEDIA_TYPE);
  if (!format_.empty()) std::memcpy(block, format_.data(), format_.size());
  type->pbFormat = format_.empty() ? nullptr : block;
  return S_OK;
}

HRESULT ReadMediaType(IWMMediaProps* props, OwnedMediaType* type) {
  if (!props || !type) return E_POINTER;
  DWORD size = 0;
  if (HRESULT hr = props->GetMediaType(nullptr, &size); FAILED(hr)) return hr;
  if (size < sizeof(WM_MEDIA_TYPE)) return E_UNEXPECTED;
  // 8-byte units keep the record aligned.
  std::vector<uint64_t> block((size + sizeof(uint64_t) - 1) / sizeof(uint64_t));
  auto* media = reinterpret_cast<WM_MEDIA_TYPE*>(block.data());
  if (HRESULT hr = props->GetMediaType(media, &size); FAILED(hr)) return hr;
  type->Assign(*media);
  return S_OK;
}
