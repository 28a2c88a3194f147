// The demuxer's pieces that know no GStreamer: the scanner's offsets and damage marks, the
// index's choice of key groups, and the order, times and key flags of a group's samples.
#include <gtest/gtest.h>

#include <vector>

#include "GroupPackets.h"
#include "recorder/GroupStreamReader.h"
#include "RecorderIndex.h"

namespace recastgst {
namespace {

using recorder::kFrameTypeKey;
using recorder::kFrameTypeOther;

constexpr uint32_t k25Fps = recorder::kFrameRateBase + 25;
constexpr int64_t kFrame = 400'000;  // at 25 fps

// A group of `video` video blocks and `audio` audio blocks, audio first, payloads of 3 bytes
// holding the block's index.
std::vector<uint8_t> Group(uint32_t frameType, int video, int audio) {
  recorder::GroupHeader header;
  header.startCode = recorder::kGroupStartCode;
  header.frameType = frameType;
  header.frameRateCode = k25Fps;
  header.audioWord = audio > 0 ? 0x1001 : 0x1000;
  header.blockCountWord = static_cast<uint32_t>(video + audio);
  const auto head = recorder::Serialize(header);
  std::vector<uint8_t> bytes(head.begin(), head.end());
  for (int i = 0; i < audio + video; ++i) {
    recorder::BlockHeader block;
    block.type = i < audio ? recorder::kBlockAudio1 : recorder::kBlockVideo1;
    block.length = 3;
    const auto blockHead = recorder::Serialize(block);
    bytes.insert(bytes.end(), blockHead.begin(), blockHead.end());
    bytes.insert(bytes.end(), {static_cast<uint8_t>(i), 0xAA, 0xBB});
  }
  return bytes;
}

void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
  to.insert(to.end(), bytes.begin(), bytes.end());
}

TEST(GroupStreamReader, GivesOffsetsAndMarksDamageAcrossArbitraryCuts) {
  const std::vector<uint8_t> first = Group(kFrameTypeKey, 2, 0);
  // Damage, ending in a start code that the group's own start code follows (01 00 00 00 01...:
  // not a group start, as its second word is 1).
  std::vector<uint8_t> stream = {0xEE, 0xEE, 0xEE, 0x01, 0x00, 0x00, 0x00};
  Append(stream, first);
  Append(stream, Group(kFrameTypeOther, 1, 1));
  recorder::GroupStreamReader scanner;
  scanner.Restart(40);
  std::vector<recorder::StreamGroup> groups;
  for (size_t at = 0; at < stream.size(); at += 3) {
    scanner.Push(recorder::ByteSpan(stream.data() + at, std::min<size_t>(3, stream.size() - at)));
    while (auto group = scanner.Next()) groups.push_back(*group);
  }
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].offset, 47u);
  EXPECT_TRUE(groups[0].afterDamage);
  EXPECT_EQ(groups[1].offset, 47u + first.size());
  EXPECT_FALSE(groups[1].afterDamage);

  // After a restart the offsets count from the new position, and nothing is damaged.
  scanner.Restart(5000);
  const std::vector<uint8_t> again = Group(kFrameTypeKey, 1, 0);
  scanner.Push(again);
  const auto group = scanner.Next();
  ASSERT_TRUE(group);
  EXPECT_EQ(group->offset, 5000u);
  EXPECT_FALSE(group->afterDamage);
}

// Six groups of 2 frames, every second one a key group: key groups start at frames 0, 4 and 8.
class IndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<uint8_t> stream;
    for (int i = 0; i < 6; ++i) Append(stream, Group(i % 2 == 0 ? kFrameTypeKey : kFrameTypeOther, 2, 0));
    IndexBuilder builder(recorder::kSystemVideo, recorder::kFileHeaderSize);
    builder.Feed(stream);
    index_ = builder.Finish();
  }
  RecorderIndex index_;
};

TEST_F(IndexTest, ChoosesKeyGroupsAroundATime) {
  ASSERT_EQ(index_.Entries().size(), 6u);
  EXPECT_EQ(index_.Duration(), 12 * kFrame);
  EXPECT_EQ(index_.KeyBefore(7 * kFrame)->time, 4 * kFrame);
  EXPECT_EQ(index_.KeyBefore(4 * kFrame)->time, 4 * kFrame);
  EXPECT_EQ(index_.KeyAfter(5 * kFrame)->time, 8 * kFrame);
  EXPECT_EQ(index_.KeyAfter(9 * kFrame), nullptr);
  EXPECT_EQ(index_.KeyNearest(5 * kFrame)->time, 4 * kFrame);
  EXPECT_EQ(index_.KeyNearest(7 * kFrame)->time, 8 * kFrame);
  EXPECT_EQ(index_.KeyBefore(-1)->time, 0);  // before the start: the first key group
  EXPECT_EQ(index_.Entries()[1].offset - index_.Entries()[0].offset, Group(kFrameTypeKey, 2, 0).size());
}

// A group that damage makes invalid is not indexed, and neither is anything before the next
// key group.
TEST(Index, SkipsDamagedGroupsUpToTheNextKeyGroup) {
  std::vector<uint8_t> stream = Group(kFrameTypeKey, 1, 0);
  std::vector<uint8_t> bad = Group(kFrameTypeOther, 1, 0);
  bad[recorder::kGroupHeaderSize] = 0x06;  // block type 0x1006
  Append(stream, bad);
  Append(stream, Group(kFrameTypeOther, 1, 0));
  Append(stream, Group(kFrameTypeKey, 1, 0));
  IndexBuilder builder(recorder::kSystemVideo, 0);
  builder.Feed(stream);
  const RecorderIndex index = builder.Finish();
  ASSERT_EQ(index.Entries().size(), 2u);
  EXPECT_TRUE(index.Entries()[1].key);
  EXPECT_EQ(index.Entries()[1].time, kFrame);  // time follows the data that was delivered
}

TEST(GroupPackets, OrdersByTimeAndMarksOnlyTheFirstFrameOfAKeyGroup) {
  const std::vector<uint8_t> bytes = Group(kFrameTypeKey, 3, 2);
  recorder::GroupView view;
  ASSERT_EQ(recorder::ParseGroup(bytes.data(), bytes.data() + bytes.size(), view),
            recorder::ParseResult::Complete);
  vendor::GroupTimes times;
  times.videoStart = 0;
  times.frameDuration = kFrame;
  times.audioStart = 0;
  times.videoBlocks = 3;
  times.audioBlocks = 2;
  const std::vector<Packet> packets = PacketsOf(view, times, true);
  ASSERT_EQ(packets.size(), 5u);
  // Audio and video at 0, then both at 400,000, then the last frame.
  const StreamKind kinds[] = {StreamKind::Audio, StreamKind::Video, StreamKind::Audio,
                              StreamKind::Video, StreamKind::Video};
  const int64_t starts[] = {0, 0, kFrame, kFrame, 2 * kFrame};
  for (size_t i = 0; i < packets.size(); ++i) {
    EXPECT_EQ(packets[i].kind, kinds[i]) << i;
    EXPECT_EQ(packets[i].start, starts[i]) << i;
    EXPECT_EQ(packets[i].size, 3u);
    EXPECT_EQ(packets[i].key, i == 1) << i;
  }
  EXPECT_EQ(packets[4].data[0], 4);  // payloads stay in group order within a stream
  EXPECT_FALSE(PacketsOf(view, times, false)[1].key);
}

}  // namespace
}  // namespace recastgst
