// Copying names out through the format SDK's two-call convention: a null buffer answers the
// length in characters including the terminating null; a short buffer fails with
// ASF_E_BUFFERTOOSMALL and still answers the length.
#pragma once

#include <cstring>
#include <string>

#include "WmTypes.h"

template <typename Count>
HRESULT CopyWideOut(const std::u16string& text, WCHAR* out, Count* chars) {
  if (!chars) return E_POINTER;
  const size_t needed = text.size() + 1;
  if (needed > static_cast<size_t>(static_cast<Count>(-1))) return E_UNEXPECTED;
  const Count available = *chars;
  *chars = static_cast<Count>(needed);
  if (!out) return S_OK;
  if (available < needed) return ASF_E_BUFFERTOOSMALL;
  std::memcpy(out, text.c_str(), needed * sizeof(WCHAR));
  return S_OK;
}

// The text of a null-terminated UTF-16 string; empty for null.
inline std::u16string WideFrom(const WCHAR* text) { return text ? std::u16string(text) : u""; }
