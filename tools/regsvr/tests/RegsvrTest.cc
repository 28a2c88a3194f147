// regsvr as a user runs it: a fresh registry, a module of test filters registered, listed and
// unregistered, and the failures that must say what went wrong.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

struct ToolRun {
  int status = -1;
  std::string output;  // stdout and stderr together
};

class RegsvrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/regsvr_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  ToolRun Regsvr(const std::string& args) {
    const std::string command =
        "RECAST_REGISTRY='" + dir_ + "/registry.db' '" REGSVR_PATH "' " + args + " 2>&1";
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

TEST_F(RegsvrTest, RegistersListsAndUnregistersAModule) {
  const std::string module = std::string("'") + GRAPH_TEST_FILTERS_PATH + "'";
  const ToolRun registered = Regsvr(module);
  ASSERT_EQ(registered.status, 0) << registered.output;

  const ToolRun listed = Regsvr("--list");
  ASSERT_EQ(listed.status, 0);
  const std::string& text = listed.output;
  EXPECT_NE(text.find("\"Graph Test Decoder High\""), std::string::npos) << text;
  EXPECT_NE(text.find("category: DirectShow Filters"), std::string::npos);
  EXPECT_NE(text.find("merit:    0x00800000"), std::string::npos);
  EXPECT_NE(text.find(std::string("module:   ") + GRAPH_TEST_FILTERS_PATH), std::string::npos);
  EXPECT_NE(text.find("pin \"In\" (in, rendered)"), std::string::npos);
  EXPECT_NE(text.find("gtest://"), std::string::npos);
  EXPECT_NE(text.find("check \"0,4,,47545354\""), std::string::npos);
  EXPECT_NE(text.find("extension .gts"), std::string::npos);

  ASSERT_EQ(Regsvr("-u " + module).status, 0);
  const ToolRun after = Regsvr("--list");
  EXPECT_EQ(after.output.find("Graph Test"), std::string::npos) << after.output;
}

TEST_F(RegsvrTest, FailuresSayWhatWentWrong) {
  const ToolRun missing = Regsvr("'" + dir_ + "/missing.so'");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.output.find("module not found"), std::string::npos) << missing.output;

  const std::string notLibrary = dir_ + "/text.so";
  FILE* file = fopen(notLibrary.c_str(), "w");
  fputs("not a library", file);
  fclose(file);
  const ToolRun unloadable = Regsvr("'" + notLibrary + "'");
  EXPECT_EQ(unloadable.status, 2);
  EXPECT_NE(unloadable.output.find("cannot load"), std::string::npos) << unloadable.output;

  const ToolRun noExport = Regsvr("'" COM_LIBRARY_PATH "'");  // a library, but no module
  EXPECT_EQ(noExport.status, 3) << noExport.output;
  EXPECT_NE(noExport.output.find("has no export DllRegisterServer"), std::string::npos);

  EXPECT_EQ(Regsvr("").status, 1);
  EXPECT_EQ(Regsvr("-x module.so").status, 1);
}

}  // namespace
