// StreamBufferQueue: the fixed pool of 2048-byte nodes between a back end's data callback (the
// producer) and the output pin's streaming thread (the consumer).
//
// Every node is on exactly one of three lists (data, free, retired) or is the one node reserved
// by the producer. Buffers are allocated once, 64-byte aligned; the data path only relinks.
//
// Lock: `lock_` guards the lists, the reserved node and the wake flags; it is the innermost lock
// of the filter (filter lock, then pin lock, then this) and is held only for list operations.
// Node buffers are written and read outside it: the producer's node is reserved and on no list,
// and only the consumer removes nodes from the data list (flush runs under the same pin lock as
// the consumer).
//
// Waiting: instead of polling, the consumer may sleep until data arrives (WaitForData) and the
// producer until a node is free (WaitForRoom). Both waits are bounded and can be cut short by
// WakeConsumer / WakeProducers, so a state change never waits for a time-out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace netsource {

constexpr uint32_t kNodeBufferSize = 2048;
constexpr size_t kNodeAlignment = 64;
constexpr int kDefaultNodeCount = 100;

struct BufferNode {
  uint32_t length = 0;  // valid bytes in data: 1 to 2048 while queued
  uint8_t* data = nullptr;
  BufferNode* next = nullptr;
};

class StreamBufferQueue {
 public:
  // Allocation failures leave the queue with fewer nodes; creation itself never fails.
  explicit StreamBufferQueue(int nodeCount = kDefaultNodeCount);
  ~StreamBufferQueue();
  StreamBufferQueue(const StreamBufferQueue&) = delete;
  StreamBufferQueue& operator=(const StreamBufferQueue&) = delete;

  // The head of the free list, unless it is empty or a node is already reserved.
  BufferNode* ReserveForWriting();
  // Appends the reserved node to the data list. False for none, and for a node whose
  // reservation a flush has cancelled (it is already back on the free list).
  bool Commit(BufferNode* node);
  // The n-th data node (1 = oldest); none for 0 or when fewer are queued. It stays queued.
  BufferNode* Peek(size_t n);
  // Move up to n nodes from the head of the data list to the free / retired list.
  size_t Recycle(size_t n);
  size_t Retire(size_t n);
  // Every data node, and the reserved one, back to the free list.
  bool Flush();

  // Until the data list is not empty, WakeConsumer is called or `timeout` passes; true when
  // data is queued. A wake that came while the consumer was not waiting ends its next wait at
  // once, so a wake is never lost between the consumer's last look and its sleep.
  bool WaitForData(std::chrono::milliseconds timeout);
  void WakeConsumer();
  // Until a node is free and none is reserved, WakeProducers is called or `timeout` passes.
  void WaitForRoom(std::chrono::milliseconds timeout);
  void WakeProducers();

  size_t DataCount() const;
  size_t FreeCount() const;
  size_t RetiredCount() const;
  bool HasReserved() const;

 private:
  struct List {
    BufferNode* head = nullptr;
    BufferNode* tail = nullptr;
    size_t count = 0;
    void Append(BufferNode* node);
    BufferNode* PopFront();
  };
  size_t MoveFront(List& to, size_t n);
  static void Release(BufferNode* node);

  mutable std::mutex lock_;
  std::condition_variable dataReady_;  // data committed or consumer woken
  std::condition_variable roomReady_;  // node freed or producers woken
  List data_;                          // guarded by lock_
  List free_;                          // guarded by lock_
  List retired_;                       // guarded by lock_
  BufferNode* reserved_ = nullptr;     // guarded by lock_
  bool consumerWoken_ = false;         // guarded by lock_: set by WakeConsumer, taken by a wait
  uint64_t producerWakes_ = 0;         // guarded by lock_: bumped by WakeProducers
};

// The producer's rule: cut `block` into pieces of at most 2048 bytes, one node each, waiting
// for free nodes. Gives up, dropping the rest of the block, once `giveUp()` answers true (its
// session is stopping). False when it gave up.
template <typename GiveUp>
bool ProduceBlock(StreamBufferQueue& queue, const uint8_t* block, size_t length, GiveUp giveUp);

}  // namespace netsource

#include "StreamBufferQueue.inl"
