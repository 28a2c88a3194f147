// ConversionFixture: for tests that run this build's recast on files made for them. The filter
// modules are registered once per suite in a private registry (removed after the suite), and
// every test gets a fresh folder of its own in dir_ (removed after the test).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "RecastRun.h"
#include "ScopedTestRegistry.h"

class ConversionFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    registry_ = new ScopedTestRegistry;
    for (const char* module : {RECORDER_FILTERS_MODULE, SYSFILTERS_MODULE, FFDSHOW_MODULE, WMSINK_MODULE}) {
      const ProcessResult run = RunProcess({REGSVR_BINARY, module}, registry_->folder());
      ASSERT_EQ(0, run.status) << module << ": " << run.err;
    }
  }
  static void TearDownTestSuite() {
    delete registry_;
    registry_ = nullptr;
  }
  void SetUp() override {
    char pattern[] = "/tmp/recast_e2e_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // The private registry's folder (the database and its log).
  static const std::filesystem::path& RegistryFolder() { return registry_->folder(); }

  std::filesystem::path dir_;

 private:
  static inline ScopedTestRegistry* registry_ = nullptr;
};
