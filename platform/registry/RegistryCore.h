// The registry operations behind the W and A entry points: names are UTF-16, value data is
// as stored (strings as UTF-16 bytes). Handles, access rights and path walking live here;
// the entry points only convert text and apply the Windows buffer rules.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Registry.h"
#include "RegistryStore.h"

namespace regcore {

LONG CreateKey(HKEY key, std::u16string_view sub_key, REGSAM access, PHKEY result,
               LPDWORD disposition);
LONG OpenKey(HKEY key, std::u16string_view sub_key, REGSAM access, PHKEY result);
LONG CloseKey(HKEY key);
LONG SetValue(HKEY key, std::u16string_view name, DWORD type, const BYTE* data, DWORD size);
LONG QueryValue(HKEY key, std::u16string_view name, ValueRow& value);
LONG EnumKey(HKEY key, DWORD index, std::u16string& name);
LONG EnumValue(HKEY key, DWORD index, std::u16string& name, ValueRow& value);
LONG DeleteValue(HKEY key, std::u16string_view name);

enum class DeleteMode {
  kLeaf,      // the key, refused while it has subkeys
  kTree,      // the key and everything below it
  kContents,  // everything below the key, keeping the key
};
LONG DeleteKey(HKEY key, std::u16string_view sub_key, DeleteMode mode);

struct KeyInfo {
  DWORD sub_keys = 0;
  DWORD max_sub_key_chars = 0;
  DWORD values = 0;
  DWORD max_value_name_chars = 0;
  DWORD max_value_bytes = 0;
};
LONG QueryInfo(HKEY key, KeyInfo& info);

bool IsStringType(DWORD type);
// The Windows rules for returning value data: `out` null asks only for the size; a buffer
// too small gives ERROR_MORE_DATA; *out_bytes always ends as the size of the data.
LONG CopyData(const std::vector<BYTE>& data, LPBYTE out, LPDWORD out_bytes);

// Names out: *chars is the buffer size in characters (NUL included) on entry and the name's
// length on success.
template <typename Char>
LONG CopyName(std::basic_string_view<Char> name, Char* out, LPDWORD chars) {
  if (!out || !chars) return ERROR_INVALID_PARAMETER;
  if (*chars <= name.size()) return ERROR_MORE_DATA;
  name.copy(out, name.size());
  out[name.size()] = 0;
  *chars = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

// Classes are not kept and times not recorded: both read as empty.
template <typename Char>
void ClearClassAndTime(Char* key_class, LPDWORD class_chars, PFILETIME last_write) {
  if (key_class && class_chars && *class_chars > 0) key_class[0] = 0;
  if (class_chars) *class_chars = 0;
  if (last_write) *last_write = {};
}

}  // namespace regcore
