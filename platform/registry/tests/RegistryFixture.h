// Values a child process writes and the tests read back byte for byte.
#pragma once

#include <string>
#include <vector>

#include "Registry.h"

inline constexpr const char* kFixtureKey = "Software\\RecastTest\\Fixture";
inline constexpr const char* kManyKey = "Software\\RecastTest\\Many";

struct FixtureValue {
  const char16_t* name;
  DWORD type;
  std::vector<BYTE> data;
};

// UTF-16 bytes of `text` including its NUL, as a REG_SZ written by registration.
inline std::vector<BYTE> Utf16Bytes(std::u16string text, bool with_nul) {
  if (with_nul) text.push_back(u'\0');
  const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
  return std::vector<BYTE>(bytes, bytes + text.size() * sizeof(char16_t));
}

inline std::vector<FixtureValue> FixtureValues() {
  return {
      {u"", REG_SZ, Utf16Bytes(u"Recast \u00E9\u20AC\xD83D\xDE00", true)},
      {u"Source Filter", REG_SZ, Utf16Bytes(u"{013D71DF-AB43-41A6-976C-3B82E38D8CD0}", true)},
      {u"NoNul", REG_SZ, Utf16Bytes(u"abc", false)},
      {u"TwoNuls", REG_SZ, Utf16Bytes(std::u16string(u"abc\0", 4), true)},
      {u"Runtime", REG_DWORD, {1, 0, 0, 0}},
      {u"Binary", REG_BINARY, {0x00, 0xFF, 0x00, 0x10, 0x80, 0x00}},
      {u"Empty", REG_BINARY, {}},
      {u"Multi", REG_MULTI_SZ, Utf16Bytes(std::u16string(u"one\0two\0", 8), false)},
      {u"OddLength", REG_SZ, {0x41, 0x00, 0x42}},
  };
}
