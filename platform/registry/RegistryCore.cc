#include "RegistryCore.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <unordered_set>

#include "WideString.h"

struct HKEY__ {
  KeyId id;
  REGSAM access;
};

namespace regcore {
namespace {

constexpr uintptr_t kClassesRootHandle = 0x80000000u;
constexpr uintptr_t kCurrentUserHandle = 0x80000001u;
constexpr uintptr_t kLocalMachineHandle = 0x80000002u;
constexpr WCHAR kPathSeparator = u'\\';

// Open handles, so a closed or made-up HKEY is refused instead of dereferenced.
std::mutex handles_mutex;
std::unordered_set<HKEY> open_keys;  // guarded by handles_mutex

struct KeyRef {
  KeyId id;
  REGSAM access;
};

std::optional<KeyRef> Resolve(HKEY key) {
  switch (reinterpret_cast<uintptr_t>(key)) {
    case kClassesRootHandle:
      return KeyRef{kClassesRootId, KEY_ALL_ACCESS};
    case kCurrentUserHandle:
      return KeyRef{kCurrentUserId, KEY_ALL_ACCESS};
    case kLocalMachineHandle:
      return KeyRef{kLocalMachineId, KEY_ALL_ACCESS};
  }
  std::lock_guard lock(handles_mutex);
  if (!open_keys.count(key)) return std::nullopt;
  return KeyRef{key->id, key->access};
}

bool IsRoot(KeyId id) { return id >= kClassesRootId && id <= kLocalMachineId; }

HKEY NewHandle(KeyId id, REGSAM access) {
  auto* key = new HKEY__{id, access};
  std::lock_guard lock(handles_mutex);
  open_keys.insert(key);
  return key;
}

RegName MakeName(std::u16string_view name) {
  std::u16string folded(name);
  for (WCHAR& c : folded) c = FoldCaseW(c);
  return {WideToUtf8(name), WideToUtf8(folded)};
}

// Splits "a\b\c" into its names. One trailing separator is tolerated; an empty name
// anywhere else, or one longer than Windows allows, is not.
LONG SplitPath(std::u16string_view path, std::vector<RegName>& names) {
  if (!path.empty() && path.back() == kPathSeparator) path.remove_suffix(1);
  if (path.empty()) return ERROR_SUCCESS;
  for (size_t start = 0;;) {
    const size_t end = std::min(path.find(kPathSeparator, start), path.size());
    const auto name = path.substr(start, end - start);
    if (name.empty()) return ERROR_BAD_PATHNAME;
    if (name.size() > kRegMaxKeyNameChars) return ERROR_INVALID_PARAMETER;
    names.push_back(MakeName(name));
    if (end == path.size()) return ERROR_SUCCESS;
    start = end + 1;
  }
}

// Follows `names` down from `id`; nothing if a key on the way is missing.
std::optional<KeyId> Walk(RegistryTxn& txn, KeyId id, const std::vector<RegName>& names) {
  for (const RegName& name : names) {
    const auto child = txn.FindChild(id, name);
    if (!child) return std::nullopt;
    id = *child;
  }
  return id;
}

LONG CheckAlive(RegistryTxn& txn, KeyId id) {
  return txn.KeyExists(id) ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

// Resolves `key` and checks that it was opened with `needed`.
LONG Access(HKEY key, REGSAM needed, KeyRef& ref) {
  const auto resolved = Resolve(key);
  if (!resolved) return ERROR_INVALID_HANDLE;
  if ((resolved->access & needed) != needed) return ERROR_ACCESS_DENIED;
  ref = *resolved;
  return ERROR_SUCCESS;
}

// The start of every call that names a subkey: the handle and the parsed path.
LONG Prepare(HKEY key, std::u16string_view sub_key, KeyRef& ref, std::vector<RegName>& names) {
  if (const LONG error = Access(key, 0, ref); error != ERROR_SUCCESS) return error;
  return SplitPath(sub_key, names);
}

// Finds the key `names` leads to below `parent`, if it exists.
LONG Lookup(const KeyRef& parent, const std::vector<RegName>& names, std::optional<KeyId>& found) {
  return RegistryStore::Instance().Read([&](RegistryTxn& txn) {
    if (const LONG alive = CheckAlive(txn, parent.id); alive != ERROR_SUCCESS) return alive;
    found = Walk(txn, parent.id, names);
    return ERROR_SUCCESS;
  });
}

LONG CheckValueName(std::u16string_view name) {
  return name.size() > kRegMaxValueNameChars ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
}

}  // namespace

LONG CreateKey(HKEY key, std::u16string_view sub_key, REGSAM access, PHKEY result,
               LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  KeyRef parent;
  std::vector<RegName> names;
  if (const LONG error = Prepare(key, sub_key, parent, names); error != ERROR_SUCCESS) return error;
  // An existing key is only opened, which also works on a database that cannot be written.
  std::optional<KeyId> found;
  LONG error = Lookup(parent, names, found);
  if (error != ERROR_SUCCESS) return error;
  DWORD outcome = REG_OPENED_EXISTING_KEY;
  if (!found) {
    if (!(parent.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    error = RegistryStore::Instance().Write([&](RegistryTxn& txn) {
      if (const LONG alive = CheckAlive(txn, parent.id); alive != ERROR_SUCCESS) return alive;
      KeyId id = parent.id;
      for (const RegName& name : names) {
        const auto child = txn.FindChild(id, name);
        if (!child) outcome = REG_CREATED_NEW_KEY;
        id = child ? *child : txn.AddChild(id, name);
      }
      found = id;
      return ERROR_SUCCESS;
    });
    if (error != ERROR_SUCCESS) return error;
  }
  if (disposition) *disposition = outcome;
  *result = NewHandle(*found, access);
  return ERROR_SUCCESS;
}

LONG OpenKey(HKEY key, std::u16string_view sub_key, REGSAM access, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  KeyRef parent;
  std::vector<RegName> names;
  if (const LONG error = Prepare(key, sub_key, parent, names); error != ERROR_SUCCESS) return error;
  std::optional<KeyId> found;
  if (const LONG error = Lookup(parent, names, found); error != ERROR_SUCCESS) return error;
  if (!found) return ERROR_FILE_NOT_FOUND;
  *result = NewHandle(*found, access);
  return ERROR_SUCCESS;
}

LONG CloseKey(HKEY key) {
  const auto value = reinterpret_cast<uintptr_t>(key);
  if (value >= kClassesRootHandle && value <= kLocalMachineHandle) return ERROR_SUCCESS;
  {
    std::lock_guard lock(handles_mutex);
    if (open_keys.erase(key) == 0) return ERROR_INVALID_HANDLE;
  }
  delete key;
  return ERROR_SUCCESS;
}

LONG SetValue(HKEY key, std::u16string_view name, DWORD type, const BYTE* data, DWORD size) {
  KeyRef ref;
  if (const LONG error = Access(key, KEY_SET_VALUE, ref); error != ERROR_SUCCESS) return error;
  if (const LONG error = CheckValueName(name); error != ERROR_SUCCESS) return error;
  if (size > 0 && !data) return ERROR_INVALID_PARAMETER;
  const RegName stored = MakeName(name);
  return RegistryStore::Instance().Write([&](RegistryTxn& txn) {
    if (const LONG alive = CheckAlive(txn, ref.id); alive != ERROR_SUCCESS) return alive;
    txn.SetValue(ref.id, stored, type, data, size);
    return ERROR_SUCCESS;
  });
}

LONG QueryValue(HKEY key, std::u16string_view name, ValueRow& value) {
  KeyRef ref;
  if (const LONG error = Access(key, KEY_QUERY_VALUE, ref); error != ERROR_SUCCESS) return error;
  const RegName wanted = MakeName(name);
  return RegistryStore::Instance().Read([&](RegistryTxn& txn) {
    if (const LONG alive = CheckAlive(txn, ref.id); alive != ERROR_SUCCESS) return alive;
    auto found = txn.GetValue(ref.id, wanted);
    if (!found) return ERROR_FILE_NOT_FOUND;
    value = std::move(*found);
    return ERROR_SUCCESS;
  });
}

LONG EnumKey(HKEY key, DWORD index, std::u16string& name) {
  KeyRef ref;
  if (const LONG error = Access(key, KEY_ENUMERATE_SUB_KEYS, ref); error != ERROR_SUCCESS)
    return error;
  return RegistryStore::Instance().Read([&](RegistryTxn& txn) {
    if (const LONG alive = CheckAlive(txn, ref.id); alive != ERROR_SUCCESS) return alive;
    const auto child = txn.ChildAt(ref.id, index);
    if (!child) return ERROR_NO_MORE_ITEMS;
    name = Utf8ToWide(child->name);
    return ERROR_SUCCESS;
  });
}

LONG EnumValue(HKEY key, DWORD index, std::u16string& name, ValueRow& value) {
  KeyRef ref;
  if (const LONG error = Access(key, KEY_QUERY_VALUE, ref); error != ERROR_SUCCESS) return error;
  return RegistryStore::Instance().Read([&](RegistryTxn& txn) {
    if (const LONG alive = CheckAlive(txn, ref.id); alive != ERROR_SUCCESS) return alive;
    auto found = txn.ValueAt(ref.id, index);
    if (!found) return ERROR_NO_MORE_ITEMS;
    value = std::move(*found);
    name = Utf8ToWide(value.name);
    return ERROR_SUCCESS;
  });
}

LONG DeleteValue(HKEY key, std::u16string_view name) {
  KeyRef ref;
  if (const LONG error = Access(key, KEY_SET_VALUE, ref); error != ERROR_SUCCESS) return error;
  const RegName wanted = MakeName(name);
  return RegistryStore::Instance().Write([&](RegistryTxn& txn) {
    if (const LONG alive = CheckAlive(txn, ref.id); alive != ERROR_SUCCESS) return alive;
    return txn.DeleteValue(ref.id, wanted) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LONG DeleteKey(HKEY key, std::u16string_view sub_key, DeleteMode mode) {
  KeyRef ref;
  std::vector<RegName> names;
  if (const LONG error = Prepare(key, sub_key, ref, names); error != ERROR_SUCCESS) return error;
  return RegistryStore::Instance().Write([&](RegistryTxn& txn) {
    if (const LONG alive = CheckAlive(txn, ref.id); alive != ERROR_SUCCESS) return alive;
    const auto target = Walk(txn, ref.id, names);
    if (!target) return ERROR_FILE_NOT_FOUND;
    if (mode == DeleteMode::kContents) {
      txn.DeleteTree(*target, true);
      return ERROR_SUCCESS;
    }
    if (IsRoot(*target)) return ERROR_ACCESS_DENIED;
    if (mode == DeleteMode::kLeaf && txn.ChildAt(*target, 0)) return ERROR_ACCESS_DENIED;
    txn.DeleteTree(*target, false);
    return ERROR_SUCCESS;
  });
}

LONG QueryInfo(HKEY key, KeyInfo& info) {
  KeyRef ref;
  if (const LONG error = Access(key, KEY_QUERY_VALUE, ref); error != ERROR_SUCCESS) return error;
  return RegistryStore::Instance().Read([&](RegistryTxn& txn) {
    if (const LONG alive = CheckAlive(txn, ref.id); alive != ERROR_SUCCESS) return alive;
    info = {};
    for (const KeyRow& child : txn.Children(ref.id)) {
      ++info.sub_keys;
      info.max_sub_key_chars =
          std::max(info.max_sub_key_chars, static_cast<DWORD>(Utf8ToWide(child.name).size()));
    }
    for (const ValueRow& value : txn.Values(ref.id)) {
      ++info.values;
      info.max_value_name_chars =
          std::max(info.max_value_name_chars, static_cast<DWORD>(Utf8ToWide(value.name).size()));
      info.max_value_bytes = std::max(info.max_value_bytes, static_cast<DWORD>(value.data.size()));
    }
    return ERROR_SUCCESS;
  });
}

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

LONG CopyData(const std::vector<BYTE>& data, LPBYTE out, LPDWORD out_bytes) {
  if (!out_bytes) return out ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  const DWORD available = *out_bytes;
  *out_bytes = static_cast<DWORD>(data.size());
  if (!out) return ERROR_SUCCESS;
  if (available < data.size()) return ERROR_MORE_DATA;
  if (!data.empty()) std::memcpy(out, data.data(), data.size());
  return ERROR_SUCCESS;
}

}  // namespace regcore
