// The recsim program as a child process on 127.0.0.1, for tests and benchmarks that drive
// the stream client against it: started with the options they ask for, its port read from
// the line it prints once it accepts connections, ended with SIGTERM (or killed, to play a
// server that dies).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace recsim {

class RecsimProcess {
 public:
  // Starts `BINARY --root ROOT --port 0 EXTRA...`; Started() tells whether it came up.
  RecsimProcess(const std::string& binary, const std::string& root,
                const std::vector<std::string>& extra);
  ~RecsimProcess();
  RecsimProcess(const RecsimProcess&) = delete;
  RecsimProcess& operator=(const RecsimProcess&) = delete;

  bool Started() const { return port_ != 0; }
  pid_t Pid() const { return child_; }
  uint16_t Port() const { return port_; }
  // The device side's ports (with --recorder-port 0 and --legacy --legacy-port 0); 0 when
  // that side was not asked for.
  uint16_t RecorderPort() const { return recorderPort_; }
  uint16_t LegacyPort() const { return legacyPort_; }
  std::string Url(const std::string& path) const;
  // Ends the server at once, without any goodbye on its sockets.
  void Kill();

 private:
  void Reap(int signal);

  pid_t child_ = -1;
  uint16_t port_ = 0;
  uint16_t recorderPort_ = 0;
  uint16_t legacyPort_ = 0;
};

}  // namespace recsim
