// GUID with value semantics, comparison, hashing, and the registry text form
// ({013D71DF-AB43-41A6-976C-3B82E38D8CD0}, upper case).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "WinTypes.h"

struct GUID {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  uint8_t Data4[8] = {};

  constexpr bool operator==(const GUID&) const = default;
  constexpr auto operator<=>(const GUID&) const = default;
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  inline constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}

inline constexpr GUID GUID_NULL{};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
std::string GuidToString(const GUID& guid);
// Accepts the registry form with or without braces, any case; nothing on malformed text.
std::optional<GUID> GuidFromString(std::string_view text);

template <>
struct std::hash<GUID> {
  size_t operator()(const GUID& g) const noexcept {
    size_t h = g.Data1 ^ (static_cast<size_t>(g.Data2) << 32) ^ (static_cast<size_t>(g.Data3) << 48);
    for (uint8_t b : g.Data4) h = h * 131 + b;
    return h;
  }
};
