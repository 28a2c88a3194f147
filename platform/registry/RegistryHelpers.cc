// The short forms of Registry.h (namespace reg), over the A entry points.
#include <cstring>

#include "Registry.h"
#include "RegistryStore.h"
#include "WideString.h"

namespace reg {
namespace {

// An open key, closed when it goes out of scope.
class Key {
 public:
  ~Key() {
    if (handle_) RegCloseKey(handle_);
  }
  LONG Open(HKEY root, const std::string& path, REGSAM access) {
    return RegOpenKeyExA(root, path.c_str(), 0, access, &handle_);
  }
  LONG Create(HKEY root, const std::string& path) {
    return RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                           nullptr, &handle_, nullptr);
  }
  HKEY get() const { return handle_; }

 private:
  HKEY handle_ = nullptr;
};

LONG Set(HKEY root, const std::string& key_path, const std::string& name, DWORD type,
         const BYTE* data, size_t size) {
  Key key;
  if (const LONG error = key.Create(root, key_path); error != ERROR_SUCCESS) return error;
  return RegSetValueExA(key.get(), name.c_str(), 0, type, data, static_cast<DWORD>(size));
}

// Reads one value through the W entry point, so strings come as stored (UTF-16 bytes).
std::optional<Value> Get(HKEY key, const std::string& name) {
  const std::u16string wide_name = Utf8ToWide(name);
  Value value;
  value.name = name;
  DWORD size = 0;
  if (RegQueryValueExW(key, wide_name.c_str(), nullptr, &value.type, nullptr, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  value.data.resize(size);
  // The value may change between the two calls; a second failure is reported as missing.
  if (RegQueryValueExW(key, wide_name.c_str(), nullptr, &value.type, value.data.data(), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  value.data.resize(size);
  return value;
}

std::string StringFromData(const std::vector<BYTE>& data) {
  std::u16string units(data.size() / sizeof(WCHAR), u'\0');
  if (!units.empty()) std::memcpy(units.data(), data.data(), units.size() * sizeof(WCHAR));
  while (!units.empty() && units.back() == 0) units.pop_back();
  return WideToUtf8(units);
}

}  // namespace

LONG SetString(HKEY root, const std::string& key_path, const std::string& name,
               const std::string& value) {
  return Set(root, key_path, name, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
             value.size() + 1);
}

LONG SetDword(HKEY root, const std::string& key_path, const std::string& name, DWORD value) {
  return Set(root, key_path, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG SetBinary(HKEY root, const std::string& key_path, const std::string& name,
               const std::vector<BYTE>& value) {
  return Set(root, key_path, name, REG_BINARY, value.data(), value.size());
}

std::optional<Value> GetValue(HKEY root, const std::string& key_path, const std::string& name) {
  Key key;
  if (key.Open(root, key_path, KEY_QUERY_VALUE) != ERROR_SUCCESS) return std::nullopt;
  return Get(key.get(), name);
}

std::optional<std::string> GetString(HKEY root, const std::string& key_path,
                                     const std::string& name) {
  const auto value = GetValue(root, key_path, name);
  if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return std::nullopt;
  return StringFromData(value->data);
}

std::optional<DWORD> GetDword(HKEY root, const std::string& key_path, const std::string& name) {
  const auto value = GetValue(root, key_path, name);
  if (!value || value->type != REG_DWORD || value->data.size() != sizeof(DWORD))
    return std::nullopt;
  DWORD number;
  std::memcpy(&number, value->data.data(), sizeof number);
  return number;
}

std::vector<std::string> SubKeyNames(HKEY root, const std::string& key_path) {
  std::vector<std::string> names;
  Key key;
  if (key.Open(root, key_path, KEY_ENUMERATE_SUB_KEYS) != ERROR_SUCCESS) return names;
  WCHAR name[kRegMaxKeyNameChars + 1];
  for (DWORD index = 0;; ++index) {
    DWORD chars = kRegMaxKeyNameChars + 1;
    if (RegEnumKeyExW(key.get(), index, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    names.push_back(WideToUtf8({name, chars}));
  }
  return names;
}

std::vector<Value> Values(HKEY root, const std::string& key_path) {
  std::vector<Value> values;
  Key key;
  if (key.Open(root, key_path, KEY_QUERY_VALUE) != ERROR_SUCCESS) return values;
  std::u16string name(kRegMaxValueNameChars + 1, u'\0');
  for (DWORD index = 0;; ++index) {
    DWORD chars = kRegMaxValueNameChars + 1;
    if (RegEnumValueW(key.get(), index, name.data(), &chars, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    if (auto value = Get(key.get(), WideToUtf8({name.data(), chars}))) values.push_back(*value);
  }
  return values;
}

bool KeyExists(HKEY root, const std::string& key_path) {
  Key key;
  return key.Open(root, key_path, KEY_READ) == ERROR_SUCCESS;
}

LONG DeleteTree(HKEY root, const std::string& key_path) {
  return RegDeleteTreeA(root, key_path.c_str());
}

std::optional<HKEY> RootFromName(const std::string& name) {
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c);
  if (upper == "HKEY_CLASSES_ROOT" || upper == "HKCR") return HKEY_CLASSES_ROOT;
  if (upper == "HKEY_CURRENT_USER" || upper == "HKCU") return HKEY_CURRENT_USER;
  if (upper == "HKEY_LOCAL_MACHINE" || upper == "HKLM") return HKEY_LOCAL_MACHINE;
  return std::nullopt;
}

std::string DatabasePath() { return RegistryStore::Path(); }

}  // namespace reg
