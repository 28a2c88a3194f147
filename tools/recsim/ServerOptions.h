// What a simulator instance serves and how.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "DeviceOptions.h"
#include "FaultPlan.h"

namespace recsim {

struct ServerOptions {
  std::string root;           // folder of recorder files
  uint16_t port = 0;          // control port on 127.0.0.1; 0 picks a free one
  bool fast = false;          // media as fast as the socket takes it, not in real time
  std::chrono::seconds sessionTimeout{60};  // a session without requests this long ends
  FaultPlan faults;
  DeviceOptions device;  // the recorder device side, when asked for
};

}  // namespace recsim
