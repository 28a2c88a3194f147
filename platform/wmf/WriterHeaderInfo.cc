// The writer's IWMHeaderInfo: attributes, kept in the AttributeStore until BeginWriting puts
// the file's into the header. Markers and scripts are not supported.
#include <algorithm>

#include "WideText.h"
#include "Writer.h"

namespace {

HRESULT CopyValueOut(const std::vector<BYTE>& value, BYTE* out, WORD* length) {
  if (!length) return E_POINTER;
  const WORD available = *length;
  *length = static_cast<WORD>(value.size());
  if (!out) return S_OK;
  if (available < value.size()) return ASF_E_BUFFERTOOSMALL;
  std::copy(value.begin(), value.end(), out);
  return S_OK;
}

}  // namespace

HRESULT Writer::GetAttributeCount(WORD stream, WORD* attributes) {
  if (!attributes) return E_POINTER;
  std::lock_guard guard(lock_);
  *attributes = attributes_.Count(stream);
  return S_OK;
}

HRESULT Writer::GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* name_chars,
                                    WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length) {
  if (!stream || !type) return E_POINTER;
  std::lock_guard guard(lock_);
  const AttributeStore::Attribute* found = attributes_.At(*stream, index);
  if (!found) return E_INVALIDARG;
  if (HRESULT hr = CopyWideOut(found->name, name, name_chars); FAILED(hr)) return hr;
  *type = found->type;
  return CopyValueOut(found->value, value, length);
}

HRESULT Writer::GetAttributeByName(WORD* stream, LPCWSTR name, WMT_ATTR_DATATYPE* type,
                                   BYTE* value, WORD* length) {
  if (!stream || !name || !type) return E_POINTER;
  std::lock_guard guard(lock_);
  const AttributeStore::Attribute* found = attributes_.Find(*stream, name);
  if (!found) return NS_E_UNSUPPORTED_PROPERTY;
  *type = found->type;
  return CopyValueOut(found->value, value, length);
}

HRESULT Writer::SetAttribute(WORD stream, LPCWSTR name, WMT_ATTR_DATATYPE type,
                             const BYTE* value, WORD length) {
  if (!name || (!value && length > 0)) return E_POINTER;
  if (!*name || type > WMT_TYPE_GUID) return E_INVALIDARG;
  std::lock_guard guard(lock_);
  attributes_.Set(stream, name, type, std::vector<BYTE>(value, value + length));
  return S_OK;
}

HRESULT Writer::GetMarkerCount(WORD* markers) {
  if (!markers) return E_POINTER;
  *markers = 0;
  return S_OK;
}

HRESULT Writer::GetMarker(WORD, WCHAR*, WORD*, QWORD*) { return E_INVALIDARG; }
HRESULT Writer::AddMarker(LPCWSTR, QWORD) { return E_NOTIMPL; }
HRESULT Writer::RemoveMarker(WORD) { return E_INVALIDARG; }

HRESULT Writer::GetScriptCount(WORD* scripts) {
  if (!scripts) return E_POINTER;
  *scripts = 0;
  return S_OK;
}

HRESULT Writer::GetScript(WORD, WCHAR*, WORD*, WCHAR*, WORD*, QWORD*) { return E_INVALIDARG; }
HRESULT Writer::AddScript(LPCWSTR, LPCWSTR, QWORD) { return E_NOTIMPL; }
HRESULT Writer::RemoveScript(WORD) { return E_INVALIDARG; }
