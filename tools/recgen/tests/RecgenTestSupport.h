// Shared by recgen's tests: writing a recording into a private folder and reading it back
// group by group with the format's own parser.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Options.h"
#include "Recording.h"
#include "recorder/StreamFormat.h"

namespace recgen::testing {

inline std::filesystem::path TestDir() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  const auto dir = std::filesystem::temp_directory_path() / "recgen_tests" / name;
  std::filesystem::create_directories(dir);
  return dir;
}

// Short, small recordings keep the tests fast.
inline Options SmallOptions(const std::string& fileName) {
  Options options;
  options.width = 176;
  options.height = 144;
  options.frames = 50;
  options.groupFrames = 10;
  options.output = (TestDir() / fileName).string();
  return options;
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<uint8_t> Record(const Options& options) {
  WriteRecording(options);
  return ReadFile(options.output);
}

// The complete groups from `offset` on, in order; stops at the first group that does not
// parse completely and reports its result.
struct GroupWalk {
  std::vector<recorder::GroupView> groups;
  recorder::ParseResult stop = recorder::ParseResult::Complete;
  size_t stopOffset = 0;
};

inline GroupWalk WalkGroups(const std::vector<uint8_t>& file,
                            size_t offset = recorder::kFileHeaderSize) {
  GroupWalk walk;
  const uint8_t* cursor = file.data() + offset;
  const uint8_t* end = file.data() + file.size();
  while (cursor < end) {
    recorder::GroupView view;
    walk.stop = recorder::ParseGroup(cursor, end, view);
    walk.stopOffset = static_cast<size_t>(cursor - file.data());
    if (walk.stop != recorder::ParseResult::Complete) return walk;
    walk.groups.push_back(view);
    cursor = view.end;
  }
  walk.stopOffset = file.size();
  return walk;
}

inline recorder::FileHeader HeaderOf(const std::vector<uint8_t>& file) {
  return recorder::ParseFileHeader(file).value_or(recorder::FileHeader{});
}

}  // namespace recgen::testing
