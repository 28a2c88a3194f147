// Runs this build's recast (or another tool) as a child process with its output in files, so
// a test can read stdout and stderr apart and interrupt the program as Ctrl-C would.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct ProcessResult {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

struct ProcessOptions {
  // Sends SIGINT once `interruptWhen` names a file that exists and holds at least
  // `interruptAtBytes` bytes (or after `interruptAfter`). Waiting for the output to grow,
  // rather than for a time, stops the program in mid-file however loaded the machine is.
  std::optional<std::filesystem::path> interruptWhen;
  std::chrono::milliseconds interruptAfter{0};
  std::uintmax_t interruptAtBytes = 0;
};

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::filesystem::path& workDir,
                         const ProcessOptions& options = {});
