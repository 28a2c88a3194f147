// Runs a command-line tool of this repository against a private registry in a fresh temporary
// folder, as a user would from a shell, and collects its exit status and output.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

struct ToolRun {
  int status = -1;
  std::string output;  // stdout and stderr together
};

class ToolProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tool_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // `tool` and `args` are shell words; quote paths that may hold spaces.
  ToolRun RunTool(const std::string& tool, const std::string& args) {
    const std::string command =
        "RECAST_REGISTRY='" + dir_ + "/registry.db' '" + tool + "' " + args + " 2>&1";
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
  }

  std::string dir_;
};
