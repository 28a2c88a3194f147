// Runs this build's recast (or another tool) as a child process with its output in files, so
// a test can read stdout and stderr apart and interrupt the program as Ctrl-C would.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct ProcessResult {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

struct ProcessOptions {
  // Sends SIGINT once `interruptWhen` names a file that exists and holds `interruptAtBytes`
  // (or after `interruptAfter`).
  std::optional<std::filesystem::path> interruptWhen;
  std::chrono::milliseconds interruptAfter{0};
  std::uintmax_t interruptAtBytes = 0;
  // When set, runs at that moment instead of the SIGINT.
  std::function<void()> instead;
  // The child's file size limit, in the shell's `ulimit -f` blocks: writes beyond it fail.
  std::optional<int> fileSizeBlocks;
};

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::filesystem::path& workDir,
                         const ProcessOptions& options = {});
