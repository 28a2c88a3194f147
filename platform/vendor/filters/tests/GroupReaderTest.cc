// The file source's group reader on hand-made files: where it finds groups past damage, and
// that a file shorter than it was when the index was made ends in a read error, not a wait.
#include "GroupReader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "GroupBytes.h"
#include "Recordings.h"

namespace vendor::testing {
namespace {

using recorder::testing::Append;
using recorder::testing::MakeGroup;

class GroupReaderTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (fd_ >= 0) close(fd_);
  }
  // Writes `bytes` to a file of the test's own and opens it.
  void Open(const std::vector<uint8_t>& bytes) {
    const auto path = TestDir() / "groups.bin";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    fd_ = open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd_, 0);
  }

  int fd_ = -1;
};

TEST_F(GroupReaderTest, FindsEveryGroupPastDamageAndSaysWhereItResumed) {
  const auto group = MakeGroup({recorder::kBlockAudio1, recorder::kBlockVideo1}, 0, 100);
  // Start code words, each followed by another: none of them starts a group.
  const std::vector<uint8_t> junk = {0x55, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  std::vector<uint8_t> file;
  Append(file, group);
  Append(file, junk);
  Append(file, group);
  Append(file, group);
  Open(file);
  GroupReader reader(fd_, file.size());
  ASSERT_TRUE(reader.Init());
  FoundGroup found;
  std::vector<std::pair<uint64_t, bool>> seen;
  while (reader.Next(found) == GroupReader::Step::Group)
    seen.emplace_back(found.offset, found.afterDamage);
  const uint64_t second = group.size() + junk.size();
  EXPECT_EQ(seen, (std::vector<std::pair<uint64_t, bool>>{
                      {0, false}, {second, true}, {second + group.size(), false}}));
}

TEST_F(GroupReaderTest, AFileCutShorterSinceItWasIndexedIsAReadError) {
  const auto group = MakeGroup({recorder::kBlockVideo1}, 0, 100);
  std::vector<uint8_t> file;
  Append(file, group);
  Append(file, group);
  Open(file);
  // The size the index saw; the file has since lost its last stretch.
  GroupReader reader(fd_, file.size() + 5000);
  ASSERT_TRUE(reader.Init());
  FoundGroup found;
  ASSERT_EQ(reader.Next(found), GroupReader::Step::Group);
  ASSERT_EQ(reader.Next(found), GroupReader::Step::Group);
  EXPECT_EQ(reader.Next(found), GroupReader::Step::ReadError);
}

}  // namespace
}  // namespace vendor::testing
