#include "DeviceSide.h"

#include <cstdio>

namespace recsim {

bool DeviceSide::Start(const ServerOptions& options, std::string& error) {
  const DeviceOptions& device = options.device;
  if (device.recorderPort &&
      !(recorder = DeviceServer::Start(device, options.root, options.fast, error)))
    return false;
  return !device.legacy || (legacy = LegacyServer::Start(device, options.fast, error));
}

void DeviceSide::PrintPorts() const {
  if (recorder) std::printf("recsim recorder port %u\n", recorder->Port());
  if (legacy) std::printf("recsim legacy port %u\n", legacy->Port());
}

}  // namespace recsim
