// regsvr as a user runs it: a fresh registry, a module of test filters registered, listed and
// unregistered, and the failures that must say what went wrong.
#include "ToolProcess.h"

namespace {

class RegsvrTest : public ToolProcessTest {
 protected:
  ToolRun Regsvr(const std::string& args) { return RunTool(REGSVR_PATH, args); }
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
