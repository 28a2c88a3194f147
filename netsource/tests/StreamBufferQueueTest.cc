// The queue's lists and the producer's rule: chunking, a full queue holding the producer, a
// flush that cancels a reservation, and the producer giving up when its session stops.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <numeric>
#include <thread>
#include <vector>

#include "StreamBufferQueue.h"

namespace netsource {
namespace {

using namespace std::chrono_literals;

std::vector<uint8_t> Bytes(size_t n) {
  std::vector<uint8_t> bytes(n);
  std::iota(bytes.begin(), bytes.end(), uint8_t{0});
  return bytes;
}

bool Produce(StreamBufferQueue& queue, const std::vector<uint8_t>& block) {
  return ProduceBlock(queue, block.data(), block.size(), [] { return false; });
}

size_t Total(const StreamBufferQueue& queue) {
  return queue.DataCount() + queue.FreeCount() + queue.RetiredCount() +
         (queue.HasReserved() ? 1 : 0);
}

TEST(StreamBufferQueue, BlocksAreCutIntoNodesOfAtMost2048Bytes) {
  StreamBufferQueue queue;
  EXPECT_EQ(queue.FreeCount(), 100u);
  Produce(queue, Bytes(2048));
  Produce(queue, Bytes(2049));
  Produce(queue, Bytes(0));
  Produce(queue, Bytes(5000));
  ASSERT_EQ(queue.DataCount(), 6u);
  const uint32_t expected[] = {2048, 2048, 1, 2048, 2048, 904};
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(queue.Peek(i + 1)->length, expected[i]) << i;
  }
  EXPECT_EQ(queue.Peek(3)->data[0], 0);  // the 2049th byte of its block
  EXPECT_EQ(reinterpret_cast<uintptr_t>(queue.Peek(1)->data) % kNodeAlignment, 0u);
  EXPECT_EQ(queue.Peek(0), nullptr);
  EXPECT_EQ(queue.Peek(7), nullptr);
  EXPECT_EQ(queue.Recycle(10), 6u);
  EXPECT_EQ(queue.Peek(1), nullptr);
  EXPECT_EQ(Total(queue), 100u);
}

TEST(StreamBufferQueue, OneReservationAtATime) {
  StreamBufferQueue queue(2);
  BufferNode* node = queue.ReserveForWriting();
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(queue.ReserveForWriting(), nullptr);
  node->length = 1;
  EXPECT_TRUE(queue.Commit(node));
  EXPECT_FALSE(queue.Commit(nullptr));
  EXPECT_NE(queue.ReserveForWriting(), nullptr);
}

TEST(StreamBufferQueue, FlushCancelsTheReservationAndItsLateCommit) {
  StreamBufferQueue queue(4);
  Produce(queue, Bytes(3000));
  BufferNode* node = queue.ReserveForWriting();
  ASSERT_NE(node, nullptr);
  EXPECT_TRUE(queue.Flush());
  EXPECT_EQ(queue.FreeCount(), 4u);
  EXPECT_FALSE(queue.HasReserved());
  node->length = 10;
  EXPECT_FALSE(queue.Commit(node));  // already back on the free list
  EXPECT_EQ(queue.DataCount(), 0u);
  EXPECT_EQ(queue.FreeCount(), 4u);
}

TEST(StreamBufferQueue, FullQueueHoldsTheProducerUntilANodeIsRecycled) {
  StreamBufferQueue queue(3);
  Produce(queue, Bytes(3 * 2048));
  auto producer = std::async(std::launch::async, [&] { return Produce(queue, Bytes(100)); });
  EXPECT_EQ(producer.wait_for(50ms), std::future_status::timeout);
  EXPECT_EQ(queue.Recycle(1), 1u);
  ASSERT_EQ(producer.wait_for(30s), std::future_status::ready);
  EXPECT_TRUE(producer.get());
  EXPECT_EQ(queue.DataCount(), 3u);
  EXPECT_EQ(queue.Peek(3)->length, 100u);
}

TEST(StreamBufferQueue, WaitingProducerGivesUpWhenStopped) {
  StreamBufferQueue queue(1);
  Produce(queue, Bytes(2048));
  std::atomic<bool> stopping{false};
  auto producer = std::async(std::launch::async, [&] {
    const auto block = Bytes(4096);
    return ProduceBlock(queue, block.data(), block.size(), [&] { return stopping.load(); });
  });
  stopping = true;
  queue.WakeProducers();
  ASSERT_EQ(producer.wait_for(30s), std::future_status::ready);
  EXPECT_FALSE(producer.get());
  EXPECT_EQ(queue.DataCount(), 1u);
}

TEST(StreamBufferQueue, ConsumerWaitEndsOnDataOrWake) {
  StreamBufferQueue queue(2);
  EXPECT_FALSE(queue.WaitForData(1ms));
  auto waiter = std::async(std::launch::async, [&] { return queue.WaitForData(30s); });
  Produce(queue, Bytes(10));
  ASSERT_EQ(waiter.wait_for(30s), std::future_status::ready);
  EXPECT_TRUE(waiter.get());
  queue.Recycle(1);
  auto woken = std::async(std::launch::async, [&] { return queue.WaitForData(30s); });
  while (woken.wait_for(1ms) != std::future_status::ready) queue.WakeConsumer();
  EXPECT_FALSE(woken.get());
}

}  // namespace
}  // namespace netsource
