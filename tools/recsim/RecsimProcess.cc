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

// Reads the "recsim listening on port N" line; 0 when it does not come in time.
uint16_t ReadPort(int fd) {
  std::string line;
  char c = 0;
  while (line.find('\n') == std::string::npos) {
    pollfd input{fd, POLLIN, 0};
    if (::poll(&input, 1, kStartWaitMs) <= 0 || ::read(fd, &c, 1) != 1) return 0;
    line += c;
  }
  unsigned port = 0;
  if (std::sscanf(line.c_str(), "recsim listening on port %u", &port) != 1 || port > 65535)
    return 0;
  return static_cast<uint16_t>(port);
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
  if (child_ > 0) port_ = ReadPort(out[0]);
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
