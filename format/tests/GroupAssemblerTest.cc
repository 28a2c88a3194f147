#include "recorder/GroupAssembler.h"

#include <gtest/gtest.h>

#include "GroupBytes.h"

using namespace recorder;
using recorder::GroupAssembler;
using recorder::testing::Append;
using recorder::testing::MakeGroup;

namespace {

// Six groups of one audio and one video block each.
std::vector<uint8_t> SmallStream() {
  std::vector<uint8_t> stream;
  for (int i = 0; i < 6; ++i)
    Append(stream, MakeGroup({kBlockAudio1, kBlockVideo1}, 0, 200));
  return stream;
}

int Drain(GroupAssembler& assembler) {
  int groups = 0;
  while (auto group = assembler.Next()) {
    EXPECT_EQ(recorder::CountBlocks(*group).video, 1);
    ++groups;
  }
  return groups;
}

TEST(GroupAssemblerTest, ReassemblesGroupsCutAnywhere) {
  const auto stream = SmallStream();
  for (size_t chunk : {1u, 7u, 97u, 4096u}) {
    GroupAssembler assembler(1 << 20);
    int groups = 0;
    for (size_t at = 0; at < stream.size(); at += chunk) {
      const size_t n = std::min(chunk, stream.size() - at);
      assembler.Append(ByteSpan(stream.data() + at, n));
      groups += Drain(assembler);
    }
    EXPECT_EQ(groups, 6) << "chunk " << chunk;
    EXPECT_EQ(assembler.Buffered(), 0u);
    EXPECT_EQ(assembler.SkippedBytes(), 0u);
  }
}

TEST(GroupAssemblerTest, SkipsDamageAndResynchronises) {
  auto stream = SmallStream();
  // Garbage before the stream, with start words that are each followed by another 1.
  const std::vector<uint8_t> junk = {9, 7, 7, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  std::vector<uint8_t> damaged = junk;
  damaged.insert(damaged.end(), stream.begin(), stream.end());
  // Break the type of the first group's first block: that group becomes unusable.
  damaged[junk.size() + kGroupHeaderSize] = 0x77;
  GroupAssembler assembler(1 << 20);
  assembler.Append(damaged);
  EXPECT_EQ(Drain(assembler), 5);
  EXPECT_GT(assembler.SkippedBytes(), junk.size());
}

TEST(GroupAssemblerTest, ADamagedLengthDoesNotStallTheStream) {
  auto stream = SmallStream();
  // The first group's first block claims 60000 bytes more than it holds: the groups behind
  // it show that it is damaged.
  const uint32_t length = rl32(stream, kGroupHeaderSize + 16).value();
  wl32(stream.data() + kGroupHeaderSize + 16, length + 60000);
  GroupAssembler assembler(1 << 20);
  for (size_t at = 0; at < stream.size(); at += 500)
    assembler.Append(ByteSpan(stream.data() + at, std::min<size_t>(500, stream.size() - at)));
  EXPECT_EQ(Drain(assembler), 5);
}

TEST(GroupAssemblerTest, AGroupBeyondTheLimitIsDroppedWithNothingBehindIt) {
  auto stream = SmallStream();
  stream.resize(SmallStream().size() / 6);  // the first group
  wl32(stream.data() + kGroupHeaderSize + 16, 0xC0000000u);
  stream.insert(stream.end(), 5000, 0x55);
  GroupAssembler assembler(4096);
  assembler.Append(stream);
  EXPECT_EQ(Drain(assembler), 0);
  EXPECT_LT(assembler.Buffered(), 8u) << "nothing is kept waiting for 3 GB";
}

}  // namespace
