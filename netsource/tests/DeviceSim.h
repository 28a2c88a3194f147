// DeviceSim: the recsim program as a simulated recorder for the network source's tests and
// benchmark: started with the device options asked for, its three ports (RTSP, recorder SDK,
// legacy client) read from what it prints, ended with SIGTERM or killed mid-stream.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace netsource::testing {

class DeviceSim {
 public:
  // `BINARY --root ROOT --port 0 --recorder-port 0 --legacy --legacy-port 0 EXTRA...`
  DeviceSim(const std::string& binary, const std::string& root,
            const std::vector<std::string>& extra);
  ~DeviceSim();
  DeviceSim(const DeviceSim&) = delete;
  DeviceSim& operator=(const DeviceSim&) = delete;

  bool Started() const { return rtspPort_ && recorderPort_ && legacyPort_; }
  uint16_t RtspPort() const { return rtspPort_; }
  uint16_t RecorderPort() const { return recorderPort_; }
  uint16_t LegacyPort() const { return legacyPort_; }
  // Ends the simulator at once, without any goodbye on its sockets.
  void Kill();

 private:
  void Reap(int signal);

  pid_t child_ = -1;
  uint16_t rtspPort_ = 0;
  uint16_t recorderPort_ = 0;
  uint16_t legacyPort_ = 0;
};

}  // namespace netsource::testing
