// The registry shared between processes: what one process writes, another reads exactly,
// and two processes writing at once lose nothing.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "RegistryFixture.h"
#include "ScopedTestRegistry.h"
#include "WideString.h"

extern char** environ;

namespace {

// Starts registry_child with `args`; the child inherits RECAST_REGISTRY.
pid_t StartChild(std::vector<std::string> args) {
  args.insert(args.begin(), REGISTRY_CHILD_PATH);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, REGISTRY_CHILD_PATH, nullptr, nullptr, argv.data(), environ) != 0)
    return -1;
  return pid;
}

int Finish(pid_t pid) {
  int status = 0;
  if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunChild(std::vector<std::string> args) { return Finish(StartChild(std::move(args))); }

class RegistryProcessTest : public ::testing::Test {
 protected:
  ScopedTestRegistry registry_;
};

TEST_F(RegistryProcessTest, ValuesWrittenByAnotherProcessReadBackExactly) {
  // Reading first leaves this process with a connection that must see the later writes.
  EXPECT_FALSE(reg::KeyExists(HKEY_CURRENT_USER, kFixtureKey));
  ASSERT_EQ(RunChild({"fixture"}), 0);
  const auto values = reg::Values(HKEY_CURRENT_USER, kFixtureKey);
  const auto expected = FixtureValues();
  ASSERT_EQ(values.size(), expected.size());
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(Utf8ToWide(values[i].name), expected[i].name);
    EXPECT_EQ(values[i].type, expected[i].type) << values[i].name;
    EXPECT_EQ(values[i].data, expected[i].data) << values[i].name;
  }
}

// A process that ends leaves its writes in the database itself, not in a log that grows with
// every run.
TEST_F(RegistryProcessTest, WritesReachTheDatabaseFileWhenTheLastProcessEnds) {
  constexpr int kValues = 200;
  ASSERT_EQ(RunChild({"many", "v", std::to_string(kValues)}), 0);
  const std::filesystem::path database = registry_.folder() / "registry.db";
  const std::filesystem::path log = database.string() + "-wal";
  std::error_code missing;
  const uintmax_t logSize = std::filesystem::file_size(log, missing);
  EXPECT_TRUE(missing || logSize == 0) << logSize << " bytes left in the log";
  ASSERT_EQ(RunChild({"many", "w", std::to_string(kValues)}), 0);
  EXPECT_EQ(reg::SubKeyNames(HKEY_CURRENT_USER, kManyKey).size(), 2u * kValues);
}

TEST_F(RegistryProcessTest, KeyDeletedByAnotherProcessInvalidatesOpenHandle) {
  ASSERT_EQ(RunChild({"fixture"}), 0);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kFixtureKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  ASSERT_EQ(RunChild({"delete", "Software\\RecastTest"}), 0);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Runtime", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  RegCloseKey(key);
  EXPECT_FALSE(reg::KeyExists(HKEY_CURRENT_USER, "Software\\RecastTest"));
}

TEST_F(RegistryProcessTest, ConcurrentWritersLoseNothing) {
  constexpr int kPerWriter = 60;
  const pid_t first = StartChild({"many", "first", std::to_string(kPerWriter)});
  const pid_t second = StartChild({"many", "second", std::to_string(kPerWriter)});
  // This process writes at the same time.
  for (int i = 0; i < kPerWriter; ++i)
    ASSERT_EQ(reg::SetDword(HKEY_CURRENT_USER, kManyKey, "parent" + std::to_string(i), i),
              ERROR_SUCCESS);
  ASSERT_EQ(Finish(first), 0);
  ASSERT_EQ(Finish(second), 0);

  const auto keys = reg::SubKeyNames(HKEY_CURRENT_USER, kManyKey);
  EXPECT_EQ(keys.size(), 2u * kPerWriter);
  const auto values = reg::Values(HKEY_CURRENT_USER, kManyKey);
  EXPECT_EQ(values.size(), 3u * kPerWriter);
  for (const char* writer : {"first", "second"}) {
    for (int i = 0; i < kPerWriter; ++i) {
      const std::string name = std::string(writer) + std::to_string(i);
      EXPECT_EQ(reg::GetString(HKEY_CURRENT_USER, kManyKey, name), name);
      EXPECT_EQ(reg::GetDword(HKEY_CURRENT_USER, std::string(kManyKey) + "\\" + name, "Index"),
                static_cast<DWORD>(i));
    }
  }
}

}  // namespace
