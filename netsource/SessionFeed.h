// SessionFeed: the data path every back-end session shares. The back end's callback thread
// hands it byte blocks (the FileHeader block, then stream data); the feed keeps the header
// copy, runs the first-group probe until it matches, signals the stream-ready event and
// queues every block by the producer's rule. The output pin's streaming thread drains it with
// Fill, one node per sample.
//
// A feed is shared (std::shared_ptr) between its session and the callback tables through
// which callbacks find it, so a callback that is still running when its session goes never
// touches freed memory.
//
// Threads: OnHeaderBlock/OnStreamBlock on the back end's thread; Fill, Flush, Halt, Resume on
// threads holding the output pin's lock. The header copy is guarded by headerLock_; the flags
// are atomics.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>

#include "FirstGroupProbe.h"
#include "HResult.h"
#include "StreamBufferQueue.h"
#include "StreamReadyEvent.h"

namespace netsource {

// NETSRC_S_NODATA: a fill step found no queued data (a success code: the stream goes on).
constexpr HRESULT NETSRC_S_NODATA = 0x1111;

// Where a fill step copies one node: whatever carries the bytes on (a DirectShow sample, a
// GStreamer buffer) lends its memory. `length` is set when the fill succeeds.
struct FillTarget {
  uint8_t* data = nullptr;
  size_t capacity = 0;
  size_t length = 0;
};

// Which trace texts a kind's fills and producer waits write.
enum class FillTraces {
  Announce,  // legacy and recorder live: "***Fill Video Buffer!" and "... OK, %d"
  NoNode,    // recorder playback and server: "... pNode NULL!" texts when nothing moves
};

class SessionFeed {
 public:
  SessionFeed(std::shared_ptr<StreamReadyEvent> ready, SizeRule sizeRule, FillTraces traces);

  // Set before the stream starts (a live sub-stream keeps the smaller picture size).
  void SetSizeRule(SizeRule rule) { sizeRule_ = rule; }

  // A header block: its first 40 bytes become the header copy (a shorter block is not taken
  // as the header); the block is queued.
  void OnHeaderBlock(const uint8_t* data, size_t length);
  // A stream-data block: probed while no group has been found, then queued.
  void OnStreamBlock(const uint8_t* data, size_t length);

  // The consume step: the oldest node into `target`, or NETSRC_S_NODATA. Retires the node
  // instead of recycling it while `bufferLimit` is below the node count. E_POINTER without
  // memory, E_UNEXPECTED when the node does not fit.
  HRESULT Fill(FillTarget& target, LONG bufferLimit);
  bool Flush() { return queue_.Flush(); }
  // While halted, blocks are dropped and a producer waiting for room gives up, so a back end's
  // stop call that waits for its callback always returns.
  void Halt();
  void Resume() { halted_ = false; }
  bool Halted() const { return halted_; }

  // Re-arms the probe (legacy capture start) and the header.
  void RestartProbe() { found_ = false; }
  bool Found() const { return found_; }
  std::array<uint8_t, recorder::kFileHeaderSize> Header() const;

  StreamBufferQueue& Queue() { return queue_; }
  int NodeCount() const { return nodeCount_; }

 private:
  void Enqueue(const uint8_t* data, size_t length);

  StreamBufferQueue queue_;
  const std::shared_ptr<StreamReadyEvent> ready_;
  std::atomic<SizeRule> sizeRule_;
  const FillTraces traces_;
  mutable std::mutex headerLock_;
  HeaderBytes header_{};  // guarded by headerLock_
  std::atomic<bool> found_{false};
  std::atomic<bool> halted_{false};
  std::atomic<int> nodeCount_{kDefaultNodeCount};  // nodes in circulation; only Fill lowers it
};

}  // namespace netsource
