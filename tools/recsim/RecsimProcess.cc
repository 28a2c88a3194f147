#include "RecsimProcess.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace recsim {
namespace {

// recsim announces its port within this time or counts as not started.
constexpr int kStartWaitMs = 5000;

// Reads the lines up to "recsim listening on port N", taking the device side's port lines
// printed before it; the RTSP port is 0 when the last line does not come in time.
struct Ports {
  uint16_t rtsp = 0;
  uint16_t recorder = 0;
  uint16_t legacy = 0;
};

Ports ReadPorts(int fd) {
  Ports ports;
  for (;;) {
    std::string line;
    char c = 0;
    while (line.find('\n') == std::string::npos) {
      pollfd input{fd, POLLIN, 0};
      if (::poll(&input, 1, kStartWaitMs) <= 0 || ::read(fd, &c, 1) != 1) return {};
      line += c;
    }
    unsigned port = 0;
    if (std::sscanf(line.c_str(), "recsim recorder port %u", &port) == 1 && port <= 65535) {
      ports.recorder = static_cast<uint16_t>(port);
    } else if (std::sscanf(line.c_str(), "recsim legacy port %u", &port) == 1 &&
               port <= 65535) {
      ports.legacy = static_cast<uint16_t>(port);
    } else {
      if (std::sscanf(line.c_str(), "recsim listening on port %u", &port) != 1 || port > 65535)
        return {};
      ports.rtsp = static_cast<uint16_t>(port);
      return ports;
    }
  }
}

}  // namespace

RecsimProcess::RecsimProcess(const std::string& binary, const std::string& root,
                             const std::vector<std::string>& extra) {
  std::vector<std::string> args = {binary, "--root", root, "--port", "0"};
  args.insert(args.end(), extra.begin(), extra.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int out[2];
  if (::pipe(out) != 0) return;
  child_ = ::fork();
  if (child_ == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  if (child_ > 0) {
    const Ports ports = ReadPorts(out[0]);
    port_ = ports.rtsp;
    recorderPort_ = ports.recorder;
    legacyPort_ = ports.legacy;
  }
  ::close(out[0]);  // recsim prints nothing after the port line
}

RecsimProcess::~RecsimProcess() { Reap(SIGTERM); }

void RecsimProcess::Kill() { Reap(SIGKILL); }

void RecsimProcess::Reap(int signal) {
  if (child_ <= 0) return;
  ::kill(child_, signal);
  int status = 0;
  ::waitpid(child_, &status, 0);
  child_ = -1;
}

std::string RecsimProcess::Url(const std::string& path) const {
  return "rtsp://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace recsim
