// The simulated recorder's device side: the SDK server and the legacy server that the
// command line asks for, started beside the RTSP server.
#pragma once

#include <memory>
#include <string>

#include "DeviceServer.h"
#include "LegacyServer.h"
#include "ServerOptions.h"

namespace recsim {

struct DeviceSide {
  std::unique_ptr<DeviceServer> recorder;
  std::unique_ptr<LegacyServer> legacy;

  // Starts what `options` asks for; false with a reason when a port cannot be had.
  bool Start(const ServerOptions& options, std::string& error);
  // Prints "recsim recorder port N" and "recsim legacy port N" for what runs.
  void PrintPorts() const;
};

}  // namespace recsim
