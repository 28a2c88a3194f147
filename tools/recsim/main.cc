// recsim: a stream server on 127.0.0.1 serving a folder of recorder files in the stream
// servers' RTSP dialect, for testing the stream client. Runs until SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <string_view>

#include "CommandLine.h"
#include "DeviceCommandLine.h"
#include "DeviceSide.h"
#include "Server.h"

int main(int argc, char** argv) {
  recsim::ServerOptions options;
  std::string error;
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    std::fputs(recsim::kUsage, stdout);
    std::fputs(recsim::kDeviceUsage, stdout);
    return 0;
  }
  if (!recsim::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), options,
                                error)) {
    std::fprintf(stderr, "recsim: %s\n%s", error.c_str(), recsim::kUsage);
    return 2;
  }
  // Wait for the end signal synchronously: blocked before any thread starts, so every
  // thread inherits the mask and only sigwait sees it.
  sigset_t endSignals;
  sigemptyset(&endSignals);
  sigaddset(&endSignals, SIGINT);
  sigaddset(&endSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  auto server = recsim::Server::Start(options, error);
  if (!server) {
    std::fprintf(stderr, "recsim: %s\n", error.c_str());
    return 1;
  }
  recsim::DeviceSide device;
  if (!device.Start(options, error)) {
    std::fprintf(stderr, "recsim: %s\n", error.c_str());
    return 1;
  }
  device.PrintPorts();
  std::printf("recsim listening on port %u\n", server->Port());
  std::fflush(stdout);
  int signal = 0;
  sigwait(&endSignals, &signal);
  device = {};
  server.reset();
  return 0;
}
