// The registry: keys and typed values under HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE, kept in one SQLite database shared by every process of the user.
//
// The database is RECAST_REGISTRY if set, else $XDG_CONFIG_HOME/recast/registry.db, else
// ~/.config/recast/registry.db (folders are created on first write). Every write is one
// transaction, so a crash never leaves half a key and concurrent writers lose nothing.
//
// Key names keep the case they were created with and match case-insensitively; subkeys
// enumerate in case-insensitive name order, values in the order they were first set. Value
// data is stored byte-exact as given (a REG_SZ written with its NUL reads back with it).
// The ...A functions take and return UTF-8; their string values (REG_SZ, REG_EXPAND_SZ,
// REG_MULTI_SZ) are converted to and from the UTF-16 the ...W functions see. The plain
// names are those of a UNICODE build and take WCHAR text.
//
// Results are Win32 error codes: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND (no such key or
// value), ERROR_MORE_DATA (buffer too small; the size needed is returned), ERROR_NO_MORE_ITEMS
// (end of an enumeration), ERROR_ACCESS_DENIED (handle opened without the right, deleting a
// key that has subkeys, or a database that cannot be written or created), ERROR_INVALID_HANDLE,
// ERROR_KEY_DELETED (the key of an open handle was deleted), ERROR_PATH_NOT_FOUND (the
// database's folder cannot be created), ERROR_CANTOPEN / ERROR_BADDB (the database cannot be
// opened or is not one), ERROR_BUSY (another process held the database too long). A
// database that does not exist yet reads as an empty registry and is created by the first
// write.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "HResult.h"
#include "WinTypes.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access rights, checked against each call on the handle.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
constexpr REGSAM DELETE = 0x00010000;
constexpr REGSAM READ_CONTROL = 0x00020000;
constexpr REGSAM KEY_READ = READ_CONTROL | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY;
constexpr REGSAM KEY_WRITE = READ_CONTROL | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

// RegCreateKeyEx options and dispositions. Every key is kept (non-volatile).
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_OPTION_VOLATILE = 1;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Longest key name component and value name, in WCHARs without the NUL.
constexpr DWORD kRegMaxKeyNameChars = 255;
constexpr DWORD kRegMaxValueNameChars = 16383;

LONG RegCreateKeyExW(HKEY key, LPCWSTR sub_key, DWORD reserved, LPWSTR key_class, DWORD options,
                     REGSAM access, const SECURITY_ATTRIBUTES* security, PHKEY result,
                     LPDWORD disposition);
LONG RegCreateKeyExA(HKEY key, LPCSTR sub_key, DWORD reserved, LPSTR key_class, DWORD options,
                     REGSAM access, const SECURITY_ATTRIBUTES* security, PHKEY result,
                     LPDWORD disposition);
LONG RegOpenKeyExW(HKEY key, LPCWSTR sub_key, DWORD options, REGSAM access, PHKEY result);
LONG RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD options, REGSAM access, PHKEY result);
// `name` null or empty is the key's default value.
LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD data_bytes);
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD data_bytes);
// `data` null asks only for type and size; with a buffer too small: ERROR_MORE_DATA and
// *data_bytes = the size needed.
LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD data_bytes);
LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD data_bytes);
// *name_chars: buffer size in, name length without NUL out. `key_class` gets an empty text.
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_chars, LPDWORD reserved,
                   LPWSTR key_class, LPDWORD class_chars, PFILETIME last_write);
LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD name_chars, LPDWORD reserved,
                   LPSTR key_class, LPDWORD class_chars, PFILETIME last_write);
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_chars, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD data_bytes);
LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD name_chars, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD data_bytes);
// Counts and longest lengths (in characters without NUL, data in bytes); any pointer may be
// null.
LONG RegQueryInfoKeyW(HKEY key, LPWSTR key_class, LPDWORD class_chars, LPDWORD reserved,
                      LPDWORD sub_keys, LPDWORD max_sub_key_chars, LPDWORD max_class_chars,
                      LPDWORD values, LPDWORD max_value_name_chars, LPDWORD max_value_bytes,
                      LPDWORD security_descriptor_bytes, PFILETIME last_write);
LONG RegDeleteValueW(HKEY key, LPCWSTR name);
LONG RegDeleteValueA(HKEY key, LPCSTR name);
// Deletes a key without subkeys (ERROR_ACCESS_DENIED if it has any) and its values.
LONG RegDeleteKeyW(HKEY key, LPCWSTR sub_key);
LONG RegDeleteKeyA(HKEY key, LPCSTR sub_key);
// Deletes `sub_key` with everything below it; with `sub_key` null, deletes the subkeys and
// values of `key` but keeps `key`.
LONG RegDeleteTreeW(HKEY key, LPCWSTR sub_key);
LONG RegDeleteTreeA(HKEY key, LPCSTR sub_key);
// Closing a predefined root key is a no-op that succeeds.
LONG RegCloseKey(HKEY key);

// The plain names, as in a UNICODE build.
inline LONG RegCreateKeyEx(HKEY key, LPCWSTR sub_key, DWORD reserved, LPWSTR key_class,
                           DWORD options, REGSAM access, const SECURITY_ATTRIBUTES* security,
                           PHKEY result, LPDWORD disposition) {
  return RegCreateKeyExW(key, sub_key, reserved, key_class, options, access, security, result,
                         disposition);
}
inline LONG RegOpenKeyEx(HKEY key, LPCWSTR sub_key, DWORD options, REGSAM access, PHKEY result) {
  return RegOpenKeyExW(key, sub_key, options, access, result);
}
inline LONG RegSetValueEx(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                          DWORD data_bytes) {
  return RegSetValueExW(key, name, reserved, type, data, data_bytes);
}
inline LONG RegQueryValueEx(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                            LPDWORD data_bytes) {
  return RegQueryValueExW(key, name, reserved, type, data, data_bytes);
}
inline LONG RegEnumKeyEx(HKEY key, DWORD index, LPWSTR name, LPDWORD name_chars, LPDWORD reserved,
                         LPWSTR key_class, LPDWORD class_chars, PFILETIME last_write) {
  return RegEnumKeyExW(key, index, name, name_chars, reserved, key_class, class_chars, last_write);
}
inline LONG RegEnumValue(HKEY key, DWORD index, LPWSTR name, LPDWORD name_chars, LPDWORD reserved,
                         LPDWORD type, LPBYTE data, LPDWORD data_bytes) {
  return RegEnumValueW(key, index, name, name_chars, reserved, type, data, data_bytes);
}
inline LONG RegQueryInfoKey(HKEY key, LPWSTR key_class, LPDWORD class_chars, LPDWORD reserved,
                            LPDWORD sub_keys, LPDWORD max_sub_key_chars, LPDWORD max_class_chars,
                            LPDWORD values, LPDWORD max_value_name_chars, LPDWORD max_value_bytes,
                            LPDWORD security_descriptor_bytes, PFILETIME last_write) {
  return RegQueryInfoKeyW(key, key_class, class_chars, reserved, sub_keys, max_sub_key_chars,
                          max_class_chars, values, max_value_name_chars, max_value_bytes,
                          security_descriptor_bytes, last_write);
}
inline LONG RegDeleteValue(HKEY key, LPCWSTR name) { return RegDeleteValueW(key, name); }
inline LONG RegDeleteKey(HKEY key, LPCWSTR sub_key) { return RegDeleteKeyW(key, sub_key); }
inline LONG RegDeleteTree(HKEY key, LPCWSTR sub_key) { return RegDeleteTreeW(key, sub_key); }

// Short forms for registration code and tools: key paths are UTF-8 with backslashes
// ("CLSID\\{...}\\InprocServer32"), an empty value name is the default value. Setters
// create missing keys.
namespace reg {

// REG_SZ with its terminating NUL, as registration writes it.
LONG SetString(HKEY root, const std::string& key_path, const std::string& name,
               const std::string& value);
LONG SetDword(HKEY root, const std::string& key_path, const std::string& name, DWORD value);
LONG SetBinary(HKEY root, const std::string& key_path, const std::string& name,
               const std::vector<BYTE>& value);
// The string without trailing NULs; nothing if the key or value is missing or not a string.
std::optional<std::string> GetString(HKEY root, const std::string& key_path,
                                     const std::string& name);
// Nothing if missing or not a 4-byte REG_DWORD.
std::optional<DWORD> GetDword(HKEY root, const std::string& key_path, const std::string& name);

// A value as stored: its type and bytes (strings as UTF-16 bytes, as the W functions see them).
struct Value {
  std::string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};
std::optional<Value> GetValue(HKEY root, const std::string& key_path, const std::string& name);
// In enumeration order; empty if the key is missing.
std::vector<std::string> SubKeyNames(HKEY root, const std::string& key_path);
std::vector<Value> Values(HKEY root, const std::string& key_path);
bool KeyExists(HKEY root, const std::string& key_path);
// The key and everything below it; ERROR_FILE_NOT_FOUND if it did not exist.
LONG DeleteTree(HKEY root, const std::string& key_path);

// "HKEY_CLASSES_ROOT" / "HKCR" and the other roots (any case); nothing for other text.
std::optional<HKEY> RootFromName(const std::string& name);
// The database file this process uses now (from the environment as described above).
std::string DatabasePath();

}  // namespace reg
