// Task memory and the text forms of GUIDs.
#include <cstdlib>
#include <string>

#include "ComRuntime.h"
#include "WideString.h"

namespace {

constexpr int kGuidTextChars = 39;  // "{8-4-4-4-12}" and the NUL
constexpr size_t kBracedGuidChars = 38;

HRESULT GuidFromBracedText(LPCOLESTR text, GUID* guid, HRESULT malformed) {
  if (!guid) return E_INVALIDARG;
  if (!text) {
    *guid = GUID_NULL;
    return S_OK;
  }
  const std::string narrow = WideToUtf8(text);
  const auto parsed = narrow.size() == kBracedGuidChars ? GuidFromString(narrow) : std::nullopt;
  if (!parsed) return malformed;
  *guid = *parsed;
  return S_OK;
}

}  // namespace

LPVOID CoTaskMemAlloc(size_t size) { return std::malloc(size ? size : 1); }

// As on Windows, a size of 0 frees the block and answers null.
LPVOID CoTaskMemRealloc(LPVOID block, size_t size) {
  if (size == 0 && block) {
    std::free(block);
    return nullptr;
  }
  return std::realloc(block, size ? size : 1);
}

void CoTaskMemFree(LPVOID block) { std::free(block); }

int StringFromGUID2(REFGUID guid, LPOLESTR text, int max_chars) {
  if (!text || max_chars < kGuidTextChars) return 0;
  const std::u16string wide = Utf8ToWide(GuidToString(guid));
  WideCopy(text, static_cast<size_t>(max_chars), wide.c_str());
  return kGuidTextChars;
}

HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text) {
  if (!text) return E_INVALIDARG;
  *text = static_cast<LPOLESTR>(CoTaskMemAlloc(kGuidTextChars * sizeof(OLECHAR)));
  if (!*text) return E_OUTOFMEMORY;
  StringFromGUID2(clsid, *text, kGuidTextChars);
  return S_OK;
}

HRESULT StringFromIID(REFIID iid, LPOLESTR* text) { return StringFromCLSID(iid, text); }

HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid) {
  return GuidFromBracedText(text, clsid, CO_E_CLASSSTRING);
}

HRESULT IIDFromString(LPCOLESTR text, LPIID iid) {
  return GuidFromBracedText(text, iid, E_INVALIDARG);
}
