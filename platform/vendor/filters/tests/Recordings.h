// Recordings for the filter tests: small recgen files in a private folder per test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Options.h"
#include "Recording.h"
#include "WinTypes.h"

extern "C" {
#include <libavutil/log.h>
}

namespace vendor::testing {

inline std::filesystem::path TestDir() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  const auto dir = std::filesystem::temp_directory_path() / "recorder_filters_tests" / name;
  std::filesystem::create_directories(dir);
  return dir;
}

// Two seconds of QCIF at 25 fps in groups of 10 frames, a key group every other group.
inline recgen::Options SmallRecording(const std::string& fileName) {
  av_log_set_level(AV_LOG_FATAL);  // encoder statistics and decoders meeting damage are expected
  recgen::Options options;
  options.width = 176;
  options.height = 144;
  options.frames = 50;
  options.groupFrames = 10;
  options.gopGroups = 2;
  options.output = (TestDir() / fileName).string();
  return options;
}

constexpr REFERENCE_TIME kFrame25 = 400'000;  // one frame at 25 fps, 100 ns units

}  // namespace vendor::testing
