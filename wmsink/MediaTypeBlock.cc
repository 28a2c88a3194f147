#include "MediaTypeBlock.h"

HRESULT MediaTypeBlock::ReadFrom(IWMMediaProps* props) {
  if (!props) return E_POINTER;
  block_.clear();
  DWORD size = 0;
  if (HRESULT hr = props->GetMediaType(nullptr, &size); FAILED(hr)) return hr;
  if (size < sizeof(WM_MEDIA_TYPE)) return E_UNEXPECTED;
  std::vector<uint64_t> block((size + sizeof(uint64_t) - 1) / sizeof(uint64_t));
  auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(block.data());
  if (HRESULT hr = props->GetMediaType(type, &size); FAILED(hr)) return hr;
  const auto* end = reinterpret_cast<const BYTE*>(block.data()) + block.size() * sizeof(uint64_t);
  // The format block must lie inside what was copied.
  if (type->cbFormat > 0 &&
      (!type->pbFormat || type->pbFormat < reinterpret_cast<BYTE*>(type + 1) ||
       type->cbFormat > static_cast<size_t>(end - type->pbFormat)))
    return E_UNEXPECTED;
  block_ = std::move(block);
  return S_OK;
}
