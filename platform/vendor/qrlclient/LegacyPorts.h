// The recorder ports the legacy client connects to, and their override by QRLCLIENT_PORTS.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qrlclient {

struct PortPair {
  uint16_t first = 0;
  uint16_t second = 0;
};

// "PORT" (both ports) or "PORT,PORT"; nothing unless every port is 1 to 65535.
std::optional<PortPair> ParsePorts(std::string_view text);

// The override from the environment when it is set and parses, `configured` otherwise.
PortPair PortsFromEnvironment(PortPair configured);

}  // namespace qrlclient
