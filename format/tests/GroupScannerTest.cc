#include "recorder/GroupScanner.h"

#include <gtest/gtest.h>

#include <vector>

#include "GroupBytes.h"

using namespace recorder;
using recorder::testing::MakeGroup;

namespace {

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// Every group a reader finds with the scanner alone: scan, take a group, or move on to the
// next possible start; a NeedMore at the end of the bytes ends the walk.
std::vector<size_t> GroupOffsets(ByteSpan bytes) {
  std::vector<size_t> offsets;
  size_t at = FindGroupStart(bytes, 0);
  while (at < bytes.size()) {
    const GroupScan scan = ScanGroup(bytes.subspan(at));
    if (scan.status == ScanStatus::NeedMore) break;
    if (scan.status == ScanStatus::Group) {
      offsets.push_back(at);
      at = FindGroupStart(bytes, at + scan.group.Size());
    } else {
      at = FindGroupStart(bytes, at + 1);
    }
  }
  return offsets;
}

TEST(GroupScanner, FindsTheNextStartPastLookalikes) {
  // 01 00 00 00 followed by another start code word is no group start; 01 alone neither.
  const std::vector<uint8_t> junk = {9, 1, 7, 1, 0, 0, 0, 1, 0, 0, 0, 0x55, 1, 0, 0};
  const auto group = MakeGroup({kBlockVideo1});
  const auto bytes = Concat({junk, group});
  // The second start word at offset 7 is followed by 0x55..., so it is the first start.
  EXPECT_EQ(FindGroupStart(bytes, 0), 7u);
  EXPECT_EQ(FindGroupStart(bytes, 8), junk.size());
  EXPECT_EQ(FindGroupStart(bytes, bytes.size()), bytes.size());
  EXPECT_EQ(FindGroupStart(bytes, bytes.size() + 3), bytes.size());
}

TEST(GroupScanner, KeepsATailTooShortToJudge) {
  // Seven bytes cannot show the second word yet: the first of them is where a start may be,
  // whatever they hold; a full probe without a start code is passed over.
  const std::vector<uint8_t> bytes = {0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55,
                                      0x55, 0x55, 0x55, 0x55, 0x55, 0x55};
  EXPECT_EQ(FindGroupStart(bytes, 0), bytes.size() - (kGroupStartProbe - 1));
  EXPECT_EQ(FindGroupStart(ByteSpan(bytes).first(5), 0), 0u);
  EXPECT_EQ(ScanGroup(ByteSpan(bytes).first(7)).status, ScanStatus::NeedMore);
  EXPECT_EQ(ScanGroup(ByteSpan(bytes).first(8)).status, ScanStatus::Invalid);
  EXPECT_EQ(ScanGroup(ByteSpan()).status, ScanStatus::NeedMore);
}

TEST(GroupScanner, AGroupCutAnywhereAsksForMoreAndSaysHowMuch) {
  const auto group = MakeGroup({kBlockAudio1, kBlockVideo1, kBlockVideo2}, 0, 300);
  const GroupScan whole = ScanGroup(group);
  ASSERT_EQ(whole.status, ScanStatus::Group);
  EXPECT_EQ(whole.group.Size(), group.size());
  EXPECT_EQ(whole.group.start, group.data());
  for (size_t cut = 0; cut < group.size(); ++cut) {
    const GroupScan scan = ScanGroup(ByteSpan(group).first(cut));
    ASSERT_EQ(scan.status, ScanStatus::NeedMore) << "cut at " << cut;
    // What it asks for lies beyond what it has (so a reader waiting for it makes progress)
    // and never beyond the whole group.
    EXPECT_GT(scan.needed, cut) << "cut at " << cut;
    EXPECT_LE(scan.needed, group.size()) << "cut at " << cut;
  }
}

TEST(GroupScanner, ABadBlockMakesTheGroupInvalid) {
  auto group = MakeGroup({kBlockVideo1, kBlockAudio1});
  group[kGroupHeaderSize] = 0x77;  // the first block's type
  EXPECT_EQ(ScanGroup(group).status, ScanStatus::Invalid);
}

TEST(GroupScanner, WalksPastDamageToEveryGoodGroup) {
  auto broken = MakeGroup({kBlockVideo1, kBlockVideo1});
  broken[kGroupHeaderSize + 30] = 0x66;  // the second block's type
  const auto a = MakeGroup({kBlockVideo1});
  const auto b = MakeGroup({kBlockAudio1, kBlockVideo3});
  // Start code words, each followed by another: none of them starts a group.
  const std::vector<uint8_t> junk = {7, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  const auto bytes = Concat({junk, a, broken, b, junk, a});
  const size_t brokenAt = junk.size() + a.size();
  const size_t bAt = brokenAt + broken.size();
  const size_t lastAt = bAt + b.size() + junk.size();
  EXPECT_EQ(GroupOffsets(bytes), (std::vector<size_t>{junk.size(), bAt, lastAt}));
}

}  // namespace
