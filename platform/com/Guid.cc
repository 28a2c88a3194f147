#include "Guid.h"

#include <cstdio>

std::string GuidToString(const GUID& g) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

namespace {

std::optional<uint64_t> Hex(std::string_view text) {
  if (text.empty() || text.size() > 16) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return std::nullopt;
    value = value << 4 | static_cast<uint64_t>(digit);
  }
  return value;
}

}  // namespace

std::optional<GUID> GuidFromString(std::string_view text) {
  if (text.size() == 38) {
    if (text.front() != '{' || text.back() != '}') return std::nullopt;
    text = text.substr(1, 36);
  }
  if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
    return std::nullopt;
  const auto d1 = Hex(text.substr(0, 8));
  const auto d2 = Hex(text.substr(9, 4));
  const auto d3 = Hex(text.substr(14, 4));
  const auto d4a = Hex(text.substr(19, 4));
  const auto d4b = Hex(text.substr(24, 12));
  if (!d1 || !d2 || !d3 || !d4a || !d4b) return std::nullopt;
  GUID g;
  g.Data1 = static_cast<uint32_t>(*d1);
  g.Data2 = static_cast<uint16_t>(*d2);
  g.Data3 = static_cast<uint16_t>(*d3);
  g.Data4[0] = static_cast<uint8_t>(*d4a >> 8);
  g.Data4[1] = static_cast<uint8_t>(*d4a);
  for (int i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<uint8_t>(*d4b >> (8 * (5 - i)));
  return g;
}
