// The data callback rule: the header copy, the first-group probe and its picture-size fix-up,
// the stream-ready signal, and the consume step with its retirement of nodes.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "CallbackTable.h"
#include "FirstGroupProbe.h"
#include "SessionFeed.h"
#include "recorder/ByteOrder.h"

namespace netsource {
namespace {

using namespace std::chrono_literals;
using recorder::wl16;
using recorder::wl32;

constexpr uint32_t kNewVersion = 0x20040308;
constexpr uint32_t kOldVersion = 0x20040307;

HeaderBytes Header(uint32_t version, uint16_t width, uint16_t height) {
  HeaderBytes header{};
  wl32(header.data(), recorder::kMagic4MLQ);
  wl32(header.data() + 8, version);
  wl16(header.data() + 18, recorder::kStandardPal);
  wl16(header.data() + 28, width);
  wl16(header.data() + 30, height);
  return header;
}

// `length` bytes of zeros with a group start at `at`, carrying width x height.
std::vector<uint8_t> BlockWithGroup(size_t length, size_t at, uint16_t width, uint16_t height,
                                    uint32_t audioWord = 0x1001) {
  std::vector<uint8_t> block(length, 0);
  if (at + 24 > length) block.resize(at + 24, 0);
  wl32(block.data() + at, 1);
  wl32(block.data() + at + 4, 0x22);
  wl32(block.data() + at + 12, audioWord);
  wl16(block.data() + at + 20, width);
  wl16(block.data() + at + 22, height);
  block.resize(length);
  return block;
}

uint16_t Width(const HeaderBytes& h) { return recorder::rl16(h, 28).value(); }
uint16_t Height(const HeaderBytes& h) { return recorder::rl16(h, 30).value(); }

TEST(FirstGroupProbe, MatchesOnlyWholePrefixesWithAKnownAudioWord) {
  HeaderBytes header = Header(kNewVersion, 0, 0);
  // Only group start in the last 23 bytes: no match, the header stays.
  auto tail = BlockWithGroup(100, 77, 352, 288);
  EXPECT_FALSE(ProbeFirstGroup(tail.data(), tail.size(), header, SizeRule::TakeGroup));
  EXPECT_EQ(Width(header), 0);
  auto unknownAudio = BlockWithGroup(100, 3, 352, 288, 0x1002);
  EXPECT_FALSE(ProbeFirstGroup(unknownAudio.data(), unknownAudio.size(), header,
                               SizeRule::TakeGroup));
  auto fits = BlockWithGroup(100, 76, 352, 288, 0x1000);
  EXPECT_TRUE(ProbeFirstGroup(fits.data(), fits.size(), header, SizeRule::TakeGroup));
  EXPECT_EQ(Width(header), 352);
  EXPECT_EQ(Height(header), 288);
}

TEST(FirstGroupProbe, SubStreamKeepsTheSmallerSize) {
  auto group = BlockWithGroup(64, 5, 352, 288);
  HeaderBytes sub = Header(kNewVersion, 704, 576);
  ASSERT_TRUE(ProbeFirstGroup(group.data(), group.size(), sub, SizeRule::Smaller));
  EXPECT_EQ(Width(sub), 352);
  EXPECT_EQ(Height(sub), 288);
  auto big = BlockWithGroup(64, 0, 704, 576);
  HeaderBytes main = Header(kNewVersion, 352, 288);
  ASSERT_TRUE(ProbeFirstGroup(big.data(), big.size(), main, SizeRule::TakeGroup));
  EXPECT_EQ(Width(main), 704);
  EXPECT_EQ(Height(main), 576);
}

TEST(FirstGroupProbe, OldHeadersTakeTheResolutionWord) {
  auto group = BlockWithGroup(64, 0, 0x1003, 0xABCD);
  HeaderBytes header = Header(kOldVersion, 0, 0);
  ASSERT_TRUE(ProbeFirstGroup(group.data(), group.size(), header, SizeRule::Smaller));
  EXPECT_EQ(recorder::rl32(header, 28).value(), 0xABCD1003u);
}

// One fill into a sample-sized buffer, as a pin does.
HRESULT FillOne(SessionFeed& feed, LONG limit, size_t* length = nullptr) {
  std::vector<uint8_t> buffer(4096);
  FillTarget target{buffer.data(), buffer.size()};
  const HRESULT hr = feed.Fill(target, limit);
  if (length) *length = target.length;
  return hr;
}

TEST(SessionFeed, HeaderThenProbeSignalsReadyAndEveryBlockIsQueued) {
  auto ready = std::make_shared<StreamReadyEvent>();
  SessionFeed feed(ready, SizeRule::TakeGroup, FillTraces::Announce);
  const HeaderBytes sent = Header(kNewVersion, 0, 0);
  feed.OnHeaderBlock(sent.data(), 39);  // too short to be the header: queued only
  EXPECT_EQ(feed.Header(), HeaderBytes{});
  feed.OnHeaderBlock(sent.data(), sent.size());
  EXPECT_FALSE(ready->Wait(0ms));
  auto group = BlockWithGroup(300, 10, 176, 144);
  feed.OnStreamBlock(group.data(), group.size());
  EXPECT_TRUE(feed.Found());
  EXPECT_TRUE(ready->Wait(0ms));
  EXPECT_EQ(Width(feed.Header()), 176);
  // Later groups leave the completed header alone.
  auto other = BlockWithGroup(300, 0, 704, 576);
  feed.OnStreamBlock(other.data(), other.size());
  EXPECT_EQ(Width(feed.Header()), 176);
  EXPECT_EQ(feed.Queue().DataCount(), 4u);
  EXPECT_EQ(feed.Queue().Peek(2)->length, 40u);  // queued as received, not completed
}

TEST(SessionFeed, LoweringTheLimitRetiresNodesUntilThePoolMatches) {
  SessionFeed feed(nullptr, SizeRule::TakeGroup, FillTraces::NoNode);
  std::vector<uint8_t> block(10, 7);
  EXPECT_EQ(FillOne(feed, 100), NETSRC_S_NODATA);
  for (int i = 0; i < 45; ++i) {
    feed.OnStreamBlock(block.data(), block.size());
    size_t length = 0;
    ASSERT_EQ(FillOne(feed, 60, &length), S_OK);
    EXPECT_EQ(length, 10u);
  }
  EXPECT_EQ(feed.Queue().RetiredCount(), 40u);
  EXPECT_EQ(feed.NodeCount(), 60);
  EXPECT_EQ(feed.Queue().FreeCount(), 60u);
  // With 60 in circulation the producer is held at the 61st queued block.
  for (int i = 0; i < 60; ++i) feed.OnStreamBlock(block.data(), block.size());
  auto held = std::async(std::launch::async, [&] { feed.OnStreamBlock(block.data(), 10); });
  EXPECT_EQ(held.wait_for(20ms), std::future_status::timeout);
  feed.Halt();
  EXPECT_EQ(held.wait_for(30s), std::future_status::ready);
}

// A carrier with no memory or too little of it gets an error, and the node stays queued for the
// next fill.
TEST(SessionFeed, FillIntoATooSmallTargetKeepsTheNode) {
  SessionFeed feed(nullptr, SizeRule::TakeGroup, FillTraces::NoNode);
  std::vector<uint8_t> block(2048, 3);
  feed.OnStreamBlock(block.data(), block.size());
  FillTarget none;
  EXPECT_EQ(feed.Fill(none, 100), E_POINTER);
  std::vector<uint8_t> small(2047);
  FillTarget tooSmall{small.data(), small.size()};
  EXPECT_EQ(feed.Fill(tooSmall, 100), E_UNEXPECTED);
  size_t length = 0;
  EXPECT_EQ(FillOne(feed, 100, &length), S_OK);
  EXPECT_EQ(length, 2048u);
}

TEST(CallbackTable, RemoveWaitsForRunningCallbacksAndHidesTheKey) {
  CallbackTable table;
  auto feed = std::make_shared<SessionFeed>(nullptr, SizeRule::TakeGroup, FillTraces::NoNode);
  const int32_t key = table.Add(feed);
  EXPECT_NE(table.Add(feed), key);
  EXPECT_FALSE(table.Find(12345));
  auto lease = std::make_unique<CallbackTable::Lease>(table.Find(key));
  ASSERT_TRUE(*lease);
  auto removed = std::async(std::launch::async, [&] { table.Remove(key); });
  EXPECT_EQ(removed.wait_for(20ms), std::future_status::timeout);
  lease.reset();
  ASSERT_EQ(removed.wait_for(30s), std::future_status::ready);
  EXPECT_FALSE(table.Find(key));
  EXPECT_TRUE(table.AddAt(7, feed));
  EXPECT_FALSE(table.AddAt(7, feed));
}

}  // namespace
}  // namespace netsource
