#include "DeviceSim.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace netsource::testing {
namespace {

constexpr int kStartWaitMs = 10000;

// One line of the child's output; empty when none comes in time.
std::string ReadLine(int fd) {
  std::string line;
  char c = 0;
  while (true) {
    pollfd input{fd, POLLIN, 0};
    if (::poll(&input, 1, kStartWaitMs) <= 0 || ::read(fd, &c, 1) != 1) return {};
    if (c == '\n') return line;
    line += c;
  }
}

}  // namespace

DeviceSim::DeviceSim(const std::string& binary, const std::string& root,
                     const std::vector<std::string>& extra) {
  std::vector<std::string> args = {binary,   "--root",   root, "--port",       "0",
                                   "--recorder-port", "0", "--legacy", "--legacy-port", "0"};
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
  // recsim prints the device ports, then "recsim listening on port N" last.
  while (child_ > 0) {
    const std::string line = ReadLine(out[0]);
    if (line.empty()) break;
    unsigned port = 0;
    if (std::sscanf(line.c_str(), "recsim recorder port %u", &port) == 1) {
      recorderPort_ = static_cast<uint16_t>(port);
    } else if (std::sscanf(line.c_str(), "recsim legacy port %u", &port) == 1) {
      legacyPort_ = static_cast<uint16_t>(port);
    } else if (std::sscanf(line.c_str(), "recsim listening on port %u", &port) == 1) {
      rtspPort_ = static_cast<uint16_t>(port);
      break;
    }
  }
  ::close(out[0]);
}

DeviceSim::~DeviceSim() { Reap(SIGTERM); }

void DeviceSim::Kill() { Reap(SIGKILL); }

void DeviceSim::Reap(int signal) {
  if (child_ <= 0) return;
  ::kill(child_, signal);
  int status = 0;
  ::waitpid(child_, &status, 0);
  child_ = -1;
}

}  // namespace netsource::testing
