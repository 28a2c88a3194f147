// Runs the built recast program on hand-made recorder files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "HeaderBytes.h"

extern char** environ;

using recast::testing::HeaderSpec;
using recast::testing::TempDir;

namespace {

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

RunResult RunRecast(const TempDir& dir, std::vector<std::string> args) {
  const auto outPath = dir.Path() / "stdout.txt";
  const auto errPath = dir.Path() / "stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  args.insert(args.begin(), RECAST_BINARY);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  RunResult result;
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, RECAST_BINARY, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return result;
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadAll(outPath);
  result.err = ReadAll(errPath);
  return result;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

TEST(RecastInfo, JsonLinesForGoodFilesAndAnErrorForTheShortOne) {
  TempDir dir;
  HeaderSpec ntsc;
  ntsc.standard = recorder::kStandardNtsc;
  ntsc.groupResolution = recorder::kResolution160x128;
  ntsc.audioWord = 0;
  ntsc.frameRateCode = recorder::kFrameRateBase + 30;
  const std::string good = dir.Recording("good.mp4", {}, 2000);
  const std::string weird = dir.Recording("we\"ird\\\xff\n.264", ntsc, 0);
  std::vector<uint8_t> shortHead = recast::testing::HeaderBytes({});
  shortHead.resize(60);
  recast::testing::WriteBytes(dir.Path() / "short.mp4", shortHead);
  const std::string shortPath = (dir.Path() / "short.mp4").string();

  const RunResult run = RunRecast(dir, {"--info", "--json", good, shortPath, weird});
  EXPECT_EQ(run.status, 1);
  const std::string base = dir.Path().string();
  EXPECT_EQ(Lines(run.out),
            (std::vector<std::string>{
                "{\"path\":\"" + base +
                    "/good.mp4\",\"width\":352,\"height\":288,"
                    "\"frame_rate\":25,\"standard\":\"PAL\",\"audio\":2,\"size\":2088,"
                    "\"narrow_ntsc\":false,\"output\":\"" +
                    base + "/good.mp4_OUTPUT.WMV\"}",
                "{\"path\":\"" + base +
                    "/we\\\"ird\\\\\\ufffd\\n.264\",\"width\":176,"
                    "\"height\":120,\"frame_rate\":30,\"standard\":\"NTSC\",\"audio\":0,"
                    "\"size\":88,\"narrow_ntsc\":true,\"output\":\"" +
                    base + "/we\\\"ird\\\\\\ufffd\\n.264_OUTPUT.WMV\"}",
            }));
  const std::vector<std::string> errors = Lines(run.err);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find(shortPath), std::string::npos);
  EXPECT_NE(errors[0].find("60 bytes"), std::string::npos);
}

TEST(RecastInfo, TextOutputUsageAndMissingFiles) {
  TempDir dir;
  const std::string good = dir.Recording("a.264", {}, 1024 * 3);
  const RunResult text = RunRecast(dir, {"--info", good});
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("352 x 288"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("25 fps"), std::string::npos);
  EXPECT_NE(text.out.find("PAL"), std::string::npos);
  EXPECT_NE(text.out.find("3160 bytes (3 KB)"), std::string::npos);

  const RunResult missing = RunRecast(dir, {"--info", (dir.Path() / "none.mp4").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("none.mp4"), std::string::npos);

  const RunResult help = RunRecast(dir, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--info"), std::string::npos);
  EXPECT_EQ(RunRecast(dir, {"--info"}).status, 2);
  EXPECT_EQ(RunRecast(dir, {"--info", "--xml", good}).status, 2);
  EXPECT_EQ(RunRecast(dir, {"--convert"}).status, 2);
}
