#include "StreamBufferQueue.h"

#include <cstdlib>
#include <new>

namespace netsource {

void StreamBufferQueue::List::Append(BufferNode* node) {
  node->next = nullptr;
  if (tail) tail->next = node;
  else head = node;
  tail = node;
  ++count;
}

BufferNode* StreamBufferQueue::List::PopFront() {
  BufferNode* node = head;
  if (!node) return nullptr;
  head = node->next;
  if (!head) tail = nullptr;
  node->next = nullptr;
  --count;
  return node;
}

StreamBufferQueue::StreamBufferQueue(int nodeCount) {
  for (int i = 0; i < nodeCount; ++i) {
    void* buffer = std::aligned_alloc(kNodeAlignment, kNodeBufferSize);
    if (!buffer) break;
    auto* node = new (std::nothrow) BufferNode;
    if (!node) {
      std::free(buffer);
      break;
    }
    node->data = static_cast<uint8_t*>(buffer);
    free_.Append(node);
  }
}

void StreamBufferQueue::Release(BufferNode* node) {
  std::free(node->data);
  delete node;
}

StreamBufferQueue::~StreamBufferQueue() {
  for (List* list : {&data_, &free_, &retired_}) {
    while (BufferNode* node = list->PopFront()) Release(node);
  }
  if (reserved_) Release(reserved_);
}

BufferNode* StreamBufferQueue::ReserveForWriting() {
  std::lock_guard guard(lock_);
  if (reserved_ || free_.count == 0) return nullptr;
  reserved_ = free_.PopFront();
  return reserved_;
}

bool StreamBufferQueue::Commit(BufferNode* node) {
  if (!node) return false;
  {
    std::lock_guard guard(lock_);
    if (node != reserved_) return false;
    reserved_ = nullptr;
    data_.Append(node);
  }
  dataReady_.notify_one();
  return true;
}

BufferNode* StreamBufferQueue::Peek(size_t n) {
  std::lock_guard guard(lock_);
  if (n == 0 || data_.count < n) return nullptr;
  BufferNode* node = data_.head;
  for (size_t i = 1; i < n; ++i) node = node->next;
  return node;
}

size_t StreamBufferQueue::MoveFront(List& to, size_t n) {
  size_t moved = 0;
  for (; moved < n; ++moved) {
    BufferNode* node = data_.PopFront();
    if (!node) break;
    to.Append(node);
  }
  return moved;
}

size_t StreamBufferQueue::Recycle(size_t n) {
  size_t moved;
  {
    std::lock_guard guard(lock_);
    moved = MoveFront(free_, n);
  }
  if (moved) roomReady_.notify_all();
  return moved;
}

size_t StreamBufferQueue::Retire(size_t n) {
  std::lock_guard guard(lock_);
  return MoveFront(retired_, n);
}

bool StreamBufferQueue::Flush() {
  {
    std::lock_guard guard(lock_);
    MoveFront(free_, data_.count);
    if (reserved_) {
      free_.Append(reserved_);
      reserved_ = nullptr;
    }
  }
  roomReady_.notify_all();
  return true;
}

bool StreamBufferQueue::WaitForData(std::chrono::milliseconds timeout) {
  std::unique_lock guard(lock_);
  dataReady_.wait_for(guard, timeout, [&] { return data_.count > 0 || consumerWoken_; });
  consumerWoken_ = false;
  return data_.count > 0;
}

void StreamBufferQueue::WakeConsumer() {
  {
    std::lock_guard guard(lock_);
    consumerWoken_ = true;
  }
  dataReady_.notify_all();
}

void StreamBufferQueue::WaitForRoom(std::chrono::milliseconds timeout) {
  std::unique_lock guard(lock_);
  const uint64_t wakes = producerWakes_;
  roomReady_.wait_for(guard, timeout, [&] {
    return (free_.count > 0 && !reserved_) || producerWakes_ != wakes;
  });
}

void StreamBufferQueue::WakeProducers() {
  {
    std::lock_guard guard(lock_);
    ++producerWakes_;
  }
  roomReady_.notify_all();
}

size_t StreamBufferQueue::DataCount() const {
  std::lock_guard guard(lock_);
  return data_.count;
}

size_t StreamBufferQueue::FreeCount() const {
  std::lock_guard guard(lock_);
  return free_.count;
}

size_t StreamBufferQueue::RetiredCount() const {
  std::lock_guard guard(lock_);
  return retired_.count;
}

bool StreamBufferQueue::HasReserved() const {
  std::lock_guard guard(lock_);
  return reserved_ != nullptr;
}

}  // namespace netsource
