#include "RecastRun.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

constexpr auto kPollStep = std::chrono::milliseconds(20);

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool ShouldInterrupt(const ProcessOptions& options, std::chrono::steady_clock::time_point start) {
  if (options.interruptWhen) {
    std::error_code error;
    if (!std::filesystem::exists(*options.interruptWhen, error)) return false;
    const std::uintmax_t size = std::filesystem::file_size(*options.interruptWhen, error);
    return !error && size >= options.interruptAtBytes &&
           std::chrono::steady_clock::now() - start >= options.interruptAfter;
  }
  return options.interruptAfter.count() > 0 &&
         std::chrono::steady_clock::now() - start >= options.interruptAfter;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::filesystem::path& workDir,
                         const ProcessOptions& options) {
  const std::filesystem::path outPath = workDir / "stdout.txt";
  const std::filesystem::path errPath = workDir / "stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> command = argv;
  if (options.fileSizeBlocks) {
    const std::string limit =
        "ulimit -f " + std::to_string(*options.fileSizeBlocks) + " && exec \"$0\" \"$@\"";
    command.insert(command.begin(), {"/bin/sh", "-c", limit});
  }
  std::vector<char*> args;
  for (const std::string& arg : command) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  ProcessResult result;
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return result;

  const auto start = std::chrono::steady_clock::now();
  bool interrupted = false;
  int raw = 0;
  while (waitpid(pid, &raw, WNOHANG) == 0) {
    if (!interrupted && ShouldInterrupt(options, start)) {
      if (options.instead) {
        options.instead();
      } else {
        kill(pid, SIGINT);
      }
      interrupted = true;
    }
    std::this_thread::sleep_for(kPollStep);
  }
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadAll(outPath);
  result.err = ReadAll(errPath);
  return result;
}
