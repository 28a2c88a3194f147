// The A entry points: UTF-8 names, and string values converted between the caller's UTF-8
// and the UTF-16 that is stored.
#include <cstring>

#include "RegistryCore.h"
#include "WideString.h"

namespace {

std::u16string Wide(LPCSTR text) { return text ? Utf8ToWide(text) : std::u16string(); }

// Stored UTF-16 bytes of a string value as the A functions hand them out. A trailing odd
// byte cannot be a UTF-16 unit and is dropped.
std::vector<BYTE> ToAnsiData(const ValueRow& value) {
  if (!regcore::IsStringType(value.type)) return value.data;
  std::u16string units(value.data.size() / sizeof(WCHAR), u'\0');
  if (!units.empty()) std::memcpy(units.data(), value.data.data(), units.size() * sizeof(WCHAR));
  const std::string text = WideToUtf8(units);
  return std::vector<BYTE>(text.begin(), text.end());
}

}  // namespace

LONG RegCreateKeyExA(HKEY key, LPCSTR sub_key, DWORD, LPSTR, DWORD, REGSAM access,
                     const SECURITY_ATTRIBUTES*, PHKEY result, LPDWORD disposition) {
  if (!sub_key) return ERROR_INVALID_PARAMETER;
  return regcore::CreateKey(key, Wide(sub_key), access, result, disposition);
}

LONG RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD, REGSAM access, PHKEY result) {
  return regcore::OpenKey(key, Wide(sub_key), access, result);
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD data_bytes) {
  if (!regcore::IsStringType(type) || !data)
    return regcore::SetValue(key, Wide(name), type, data, data_bytes);
  const std::u16string units =
      Utf8ToWide(std::string_view(reinterpret_cast<const char*>(data), data_bytes));
  return regcore::SetValue(key, Wide(name), type, reinterpret_cast<const BYTE*>(units.data()),
                           static_cast<DWORD>(units.size() * sizeof(WCHAR)));
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data,
                      LPDWORD data_bytes) {
  ValueRow value;
  if (const LONG error = regcore::QueryValue(key, Wide(name), value); error != ERROR_SUCCESS)
    return error;
  if (type) *type = value.type;
  return regcore::CopyData(ToAnsiData(value), data, data_bytes);
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD name_chars, LPDWORD, LPSTR key_class,
                   LPDWORD class_chars, PFILETIME last_write) {
  std::u16string found;
  if (const LONG error = regcore::EnumKey(key, index, found); error != ERROR_SUCCESS) return error;
  regcore::ClearClassAndTime(key_class, class_chars, last_write);
  const std::string narrow = WideToUtf8(found);
  return regcore::CopyName(std::string_view(narrow), name, name_chars);
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD name_chars, LPDWORD, LPDWORD type,
                   LPBYTE data, LPDWORD data_bytes) {
  std::u16string found;
  ValueRow value;
  if (const LONG error = regcore::EnumValue(key, index, found, value); error != ERROR_SUCCESS)
    return error;
  const std::string narrow = WideToUtf8(found);
  if (const LONG error = regcore::CopyName(std::string_view(narrow), name, name_chars);
      error != ERROR_SUCCESS)
    return error;
  if (type) *type = value.type;
  return regcore::CopyData(ToAnsiData(value), data, data_bytes);
}

LONG RegDeleteValueA(HKEY key, LPCSTR name) { return regcore::DeleteValue(key, Wide(name)); }

LONG RegDeleteKeyA(HKEY key, LPCSTR sub_key) {
  if (!sub_key) return ERROR_INVALID_PARAMETER;
  return regcore::DeleteKey(key, Wide(sub_key), regcore::DeleteMode::kLeaf);
}

LONG RegDeleteTreeA(HKEY key, LPCSTR sub_key) {
  return sub_key ? regcore::DeleteKey(key, Wide(sub_key), regcore::DeleteMode::kTree)
                 : regcore::DeleteKey(key, {}, regcore::DeleteMode::kContents);
}
