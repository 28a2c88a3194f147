// The W entry points: UTF-16 names and data as stored.
#include "RegistryCore.h"

namespace {

std::u16string_view View(LPCWSTR text) {
  return text ? std::u16string_view(text) : std::u16string_view();
}

}  // namespace

LONG RegCreateKeyExW(HKEY key, LPCWSTR sub_key, DWORD, LPWSTR, DWORD, REGSAM access,
                     const SECURITY_ATTRIBUTES*, PHKEY result, LPDWORD disposition) {
  if (!sub_key) return ERROR_INVALID_PARAMETER;
  return regcore::CreateKey(key, sub_key, access, result, disposition);
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR sub_key, DWORD, REGSAM access, PHKEY result) {
  return regcore::OpenKey(key, View(sub_key), access, result);
}

LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD data_bytes) {
  return regcore::SetValue(key, View(name), type, data, data_bytes);
}

LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD, LPDWORD type, LPBYTE data,
                      LPDWORD data_bytes) {
  ValueRow value;
  if (const LONG error = regcore::QueryValue(key, View(name), value); error != ERROR_SUCCESS)
    return error;
  if (type) *type = value.type;
  return regcore::CopyData(value.data, data, data_bytes);
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_chars, LPDWORD,
                   LPWSTR key_class, LPDWORD class_chars, PFILETIME last_write) {
  std::u16string found;
  if (const LONG error = regcore::EnumKey(key, index, found); error != ERROR_SUCCESS) return error;
  regcore::ClearClassAndTime(key_class, class_chars, last_write);
  return regcore::CopyName(std::u16string_view(found), name, name_chars);
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_chars, LPDWORD, LPDWORD type,
                   LPBYTE data, LPDWORD data_bytes) {
  std::u16string found;
  ValueRow value;
  if (const LONG error = regcore::EnumValue(key, index, found, value); error != ERROR_SUCCESS)
    return error;
  if (const LONG error = regcore::CopyName(std::u16string_view(found), name, name_chars);
      error != ERROR_SUCCESS)
    return error;
  if (type) *type = value.type;
  return regcore::CopyData(value.data, data, data_bytes);
}

LONG RegQueryInfoKeyW(HKEY key, LPWSTR key_class, LPDWORD class_chars, LPDWORD, LPDWORD sub_keys,
                      LPDWORD max_sub_key_chars, LPDWORD max_class_chars, LPDWORD values,
                      LPDWORD max_value_name_chars, LPDWORD max_value_bytes,
                      LPDWORD security_descriptor_bytes, PFILETIME last_write) {
  regcore::KeyInfo info;
  if (const LONG error = regcore::QueryInfo(key, info); error != ERROR_SUCCESS) return error;
  regcore::ClearClassAndTime(key_class, class_chars, last_write);
  if (sub_keys) *sub_keys = info.sub_keys;
  if (max_sub_key_chars) *max_sub_key_chars = info.max_sub_key_chars;
  if (max_class_chars) *max_class_chars = 0;
  if (values) *values = info.values;
  if (max_value_name_chars) *max_value_name_chars = info.max_value_name_chars;
  if (max_value_bytes) *max_value_bytes = info.max_value_bytes;
  if (security_descriptor_bytes) *security_descriptor_bytes = 0;
  return ERROR_SUCCESS;
}

LONG RegDeleteValueW(HKEY key, LPCWSTR name) { return regcore::DeleteValue(key, View(name)); }

LONG RegDeleteKeyW(HKEY key, LPCWSTR sub_key) {
  if (!sub_key) return ERROR_INVALID_PARAMETER;
  return regcore::DeleteKey(key, sub_key, regcore::DeleteMode::kLeaf);
}

LONG RegDeleteTreeW(HKEY key, LPCWSTR sub_key) {
  return sub_key ? regcore::DeleteKey(key, sub_key, regcore::DeleteMode::kTree)
                 : regcore::DeleteKey(key, {}, regcore::DeleteMode::kContents);
}

LONG RegCloseKey(HKEY key) { return regcore::CloseKey(key); }
