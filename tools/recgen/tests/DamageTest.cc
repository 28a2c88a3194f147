// Each damage option changes the file as it says and nothing else.
#include <gtest/gtest.h>

#include <algorithm>

#include "Damage.h"
#include "RecgenTestSupport.h"

using namespace recgen;
using namespace recgen::testing;
using namespace recorder;

namespace {

class DamageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    options_ = SmallOptions("clean.mp4");
    options_.frames = 30;
    options_.audioCode = kAudioG722_32;
    clean_ = Record(options_);
    options_.output = (TestDir() / "damaged.mp4").string();
  }

  std::vector<size_t> Differences(const std::vector<uint8_t>& damaged) const {
    std::vector<size_t> offsets;
    for (size_t i = 0; i < std::min(clean_.size(), damaged.size()); ++i)
      if (clean_[i] != damaged[i]) offsets.push_back(i);
    return offsets;
  }

  Options options_;
  std::vector<uint8_t> clean_;
};

TEST_F(DamageTest, GarbageSitsBetweenHeaderAndFirstGroup) {
  options_.damage.garbageBytes = 777;
  const std::vector<uint8_t> damaged = Record(options_);
  ASSERT_EQ(damaged.size(), clean_.size() + 777);
  EXPECT_TRUE(std::equal(clean_.begin(), clean_.begin() + kFileHeaderSize, damaged.begin()));
  EXPECT_TRUE(std::equal(clean_.begin() + kFileHeaderSize, clean_.end(),
                         damaged.begin() + kFileHeaderSize + 777));
  // A reader searching for the first group finds it right after the garbage.
  size_t found = kFileHeaderSize;
  while (found < damaged.size() && !IsGroupStart(&damaged[found], damaged.size() - found)) ++found;
  EXPECT_EQ(found, kFileHeaderSize + 777);
}

TEST_F(DamageTest, FlipsChangeExactlyTheCountedBytesAfterTheHeader) {
  options_.damage.flipCount = 25;
  options_.damage.seed = 7;
  const RecordingSummary first = WriteRecording(options_);
  const std::vector<uint8_t> damaged = ReadFile(options_.output);
  ASSERT_EQ(damaged.size(), clean_.size());
  const std::vector<size_t> changed = Differences(damaged);
  ASSERT_EQ(changed.size(), 25u);
  EXPECT_GE(changed.front(), kFileHeaderSize);
  EXPECT_TRUE(std::equal(changed.begin(), changed.end(), first.damage.flippedOffsets.begin()));

  EXPECT_EQ(Record(options_), damaged);
  options_.damage.seed = 8;
  EXPECT_NE(WriteRecording(options_).damage.flippedOffsets, first.damage.flippedOffsets);
}

TEST_F(DamageTest, BadBlockTypeSpoilsOnlyTheChosenGroup) {
  options_.damage.badBlockGroup = 1;
  const std::vector<uint8_t> damaged = Record(options_);
  ASSERT_EQ(damaged.size(), clean_.size());
  const std::vector<size_t> changed = Differences(damaged);
  ASSERT_FALSE(changed.empty());
  EXPECT_LE(changed.size(), 2u);

  const GroupWalk cleanWalk = WalkGroups(clean_);
  const size_t second = static_cast<size_t>(cleanWalk.groups[1].start - clean_.data());
  EXPECT_GE(changed.front(), second + kGroupHeaderSize);
  EXPECT_LT(changed.back(), second + kGroupHeaderSize + 2);

  const GroupWalk walk = WalkGroups(damaged);
  EXPECT_EQ(walk.groups.size(), 1u);
  EXPECT_EQ(walk.stop, ParseResult::Invalid);
  EXPECT_EQ(walk.stopOffset, second);
  // The groups after it are whole.
  const GroupWalk rest = WalkGroups(damaged, static_cast<size_t>(cleanWalk.groups[2].start - clean_.data()));
  EXPECT_EQ(rest.stop, ParseResult::Complete);
  EXPECT_EQ(rest.groups.size(), 1u);
}

TEST_F(DamageTest, TruncationCutsOnlyTheTail) {
  options_.damage.truncateBytes = 100;
  const std::vector<uint8_t> damaged = Record(options_);
  ASSERT_EQ(damaged.size(), clean_.size() - 100);
  EXPECT_TRUE(Differences(damaged).empty());
  const GroupWalk walk = WalkGroups(damaged);
  EXPECT_EQ(walk.groups.size(), 2u);
  EXPECT_EQ(walk.stop, ParseResult::Incomplete);
}

TEST_F(DamageTest, ImpossibleDamageIsRefused) {
  options_.damage.badBlockGroup = 3;  // only groups 0 to 2 exist
  EXPECT_THROW(WriteRecording(options_), std::invalid_argument);
  options_.damage.badBlockGroup.reset();
  options_.damage.truncateBytes = clean_.size();
  EXPECT_THROW(WriteRecording(options_), std::runtime_error);
}

}  // namespace
