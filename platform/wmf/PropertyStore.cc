#include "PropertyStore.h"

#include <algorithm>
#include <cstring>

#include "WideText.h"
#include "Wmsdk.h"

namespace {

constexpr size_t kMaxNumberBytes = 8;
constexpr DWORD kMaxValueBytes = 64 * 1024;  // a setting is a number or a short text

HRESULT CopyValueOut(const PropertyStore::Entry& entry, WMT_ATTR_DATATYPE* type, BYTE* value,
                     DWORD* size) {
  if (!size) return E_POINTER;
  const DWORD needed = static_cast<DWORD>(entry.value.size());
  const DWORD available = *size;
  *size = needed;
  if (type) *type = entry.type;
  if (!value) return S_OK;
  if (available < needed) return ASF_E_BUFFERTOOSMALL;
  if (needed) std::memcpy(value, entry.value.data(), needed);
  return S_OK;
}

}  // namespace

const PropertyStore::Entry* PropertyStore::Find(std::u16string_view name) const {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const Entry& e) { return e.name == name; });
  return it == entries_.end() ? nullptr : &*it;
}

HRESULT PropertyStore::Get(const WCHAR* name, WMT_ATTR_DATATYPE* type, BYTE* value,
                           DWORD* size) const {
  if (!name) return E_POINTER;
  const Entry* entry = Find(name);
  if (!entry) return NS_E_UNSUPPORTED_PROPERTY;
  return CopyValueOut(*entry, type, value, size);
}

HRESULT PropertyStore::Set(const WCHAR* name, WMT_ATTR_DATATYPE type, const BYTE* value,
                           DWORD size) {
  if (!name || (!value && size > 0)) return E_POINTER;
  if (!*name || size > kMaxValueBytes) return E_INVALIDARG;
  std::vector<BYTE> bytes(value, value + size);
  for (Entry& e : entries_) {
    if (e.name == name) {
      e.type = type;
      e.value = std::move(bytes);
      return S_OK;
    }
  }
  entries_.push_back(Entry{name, type, std::move(bytes)});
  return S_OK;
}

HRESULT PropertyStore::GetByIndex(DWORD index, WCHAR* name, DWORD* name_chars,
                                  WMT_ATTR_DATATYPE* type, BYTE* value, DWORD* size) const {
  if (index >= entries_.size()) return E_INVALIDARG;
  const Entry& entry = entries_[index];
  if (HRESULT hr = CopyWideOut(entry.name, name, name_chars); FAILED(hr)) return hr;
  return CopyValueOut(entry, type, value, size);
}

std::optional<uint64_t> PropertyStore::Number(std::u16string_view name) const {
  const Entry* entry = Find(name);
  if (!entry || entry->value.empty() || entry->type == WMT_TYPE_STRING ||
      entry->type == WMT_TYPE_GUID)
    return std::nullopt;
  uint64_t number = 0;
  const size_t bytes = std::min(entry->value.size(), kMaxNumberBytes);
  for (size_t i = 0; i < bytes; ++i) number |= static_cast<uint64_t>(entry->value[i]) << (8 * i);
  return number;
}

HRESULT CopySettings(IWMPropertyVault* source, PropertyStore* store) {
  if (!source || !store) return E_POINTER;
  DWORD count = 0;
  if (HRESULT hr = source->GetPropertyCount(&count); FAILED(hr)) return hr;
  for (DWORD i = 0; i < count; ++i) {
    DWORD name_chars = 0, size = 0;
    WMT_ATTR_DATATYPE type{};
    if (HRESULT hr = source->GetPropertyByIndex(i, nullptr, &name_chars, &type, nullptr, &size);
        FAILED(hr))
      return hr;
    std::u16string name(name_chars, u'\0');
    std::vector<BYTE> value(size);
    if (HRESULT hr =
            source->GetPropertyByIndex(i, name.data(), &name_chars, &type, value.data(), &size);
        FAILED(hr))
      return hr;
    if (HRESULT hr = store->Set(name.c_str(), type, value.data(), size); FAILED(hr)) return hr;
  }
  return S_OK;
}
