// LegacyServer: the simulated recorder's legacy stream side (--legacy), serving the live
// channels given with --channel over the protocol described in QrlClient.h.
#pragma once

#include <memory>

#include "DeviceOptions.h"
#include "DeviceServer.h"
#include "TcpService.h"

namespace recsim {

class LegacyServer {
 public:
  static std::unique_ptr<LegacyServer> Start(const DeviceOptions& options, bool fast,
                                             std::string& error);
  ~LegacyServer() { service_.reset(); }

  uint16_t Port() const { return service_->Port(); }

 private:
  LegacyServer(const DeviceOptions& options, bool fast) : options_(options), fast_(fast) {}
  void Serve(int fd, const std::atomic<bool>& stop);
  // The channel's recording when the start request is one we serve; the error otherwise.
  std::shared_ptr<const RecordingFile> Accept(const devicewire::Frame& start, uint32_t& error);

  const DeviceOptions options_;
  const bool fast_;
  RecordingCache recordings_;
  std::unique_ptr<TcpService> service_;  // last: its threads end before the rest goes
};

}  // namespace recsim
