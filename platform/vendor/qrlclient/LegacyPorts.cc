#include "LegacyPorts.h"

#include <charconv>
#include <cstdlib>

#include "QrlClient.h"

namespace qrlclient {
namespace {

std::optional<uint16_t> ParsePort(std::string_view text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535)
    return std::nullopt;
  return static_cast<uint16_t>(value);
}

}  // namespace

std::optional<PortPair> ParsePorts(std::string_view text) {
  const size_t comma = text.find(',');
  const auto first = ParsePort(text.substr(0, comma));
  if (!first) return std::nullopt;
  if (comma == std::string_view::npos) return PortPair{*first, *first};
  const auto second = ParsePort(text.substr(comma + 1));
  if (!second) return std::nullopt;
  return PortPair{*first, *second};
}

PortPair PortsFromEnvironment(PortPair configured) {
  const char* text = std::getenv(QLC_PORTS_ENV);
  if (text == nullptr) return configured;
  return ParsePorts(text).value_or(configured);
}

}  // namespace qrlclient
