// BSTR and VARIANT helpers. A BSTR is preceded by its length in bytes (32 bits) and followed by
// a NUL, so it reads as an ordinary NUL-terminated UTF-16 string.
#include <cstdlib>
#include <cstring>

#include "OleInterfaces.h"
#include "WideString.h"

namespace {

using LengthPrefix = uint32_t;
constexpr UINT kMaxBstrChars = (UINT32_MAX - sizeof(LengthPrefix)) / sizeof(WCHAR) - 1;

LengthPrefix* PrefixOf(BSTR text) { return reinterpret_cast<LengthPrefix*>(text) - 1; }

}  // namespace

BSTR SysAllocStringLen(LPCOLESTR text, UINT chars) {
  if (chars > kMaxBstrChars) return nullptr;
  auto* block = static_cast<LengthPrefix*>(
      std::malloc(sizeof(LengthPrefix) + (size_t{chars} + 1) * sizeof(WCHAR)));
  if (!block) return nullptr;
  *block = chars * sizeof(WCHAR);
  BSTR result = reinterpret_cast<BSTR>(block + 1);
  if (text) std::memcpy(result, text, size_t{chars} * sizeof(WCHAR));
  else std::memset(result, 0, size_t{chars} * sizeof(WCHAR));
  result[chars] = 0;
  return result;
}

BSTR SysAllocString(LPCOLESTR text) {
  if (!text) return nullptr;
  return SysAllocStringLen(text, static_cast<UINT>(WideLength(text)));
}

void SysFreeString(BSTR text) {
  if (text) std::free(PrefixOf(text));
}

UINT SysStringLen(BSTR text) { return text ? *PrefixOf(text) / sizeof(WCHAR) : 0; }

void VariantInit(VARIANT* value) {
  if (value) value->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* value) {
  if (!value) return E_INVALIDARG;
  if (value->vt == VT_BSTR) SysFreeString(value->bstrVal);
  value->vt = VT_EMPTY;
  return S_OK;
}
