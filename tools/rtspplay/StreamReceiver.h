// StreamReceiver: what rtspplay does with the data callback. It keeps the stream header,
// counts the bytes and reassembles the cut stream into groups to count them, and writes the
// header and every whole group to the output file when there is one.
//
// Threads: the library calls OnHeader on the thread opening the URL and OnStream on the
// player's receive thread; the main thread reads Totals(). lock_ guards everything below it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "recorder/GroupAssembler.h"

namespace rtspplay {

struct Totals {
  uint64_t bytes = 0;
  uint64_t groups = 0;
  uint64_t skipped = 0;  // bytes that belonged to no whole group (cuts by seeking, loss)
};

class StreamReceiver {
 public:
  // The largest group reassembled; a longer one is taken for damage.
  static constexpr size_t kMaxGroupSize = 4 << 20;

  // Opens the output file when a path is given; nothing with `error` set when it cannot.
  static std::unique_ptr<StreamReceiver> Create(const std::string& outPath, std::string& error);

  void OnHeader(const uint8_t* bytes, size_t length);
  void OnStream(const uint8_t* bytes, size_t length);

  Totals Snapshot();
  std::vector<uint8_t> Header();
  // Whether every write to the output file succeeded so far.
  bool OutputGood();

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  using File = std::unique_ptr<std::FILE, FileCloser>;

  explicit StreamReceiver(File out) : out_(std::move(out)) {}
  void Write(const uint8_t* bytes, size_t length);

  std::mutex lock_;
  File out_;                       // guarded by lock_
  bool outputGood_ = true;         // guarded by lock_
  std::vector<uint8_t> header_;    // guarded by lock_
  recorder::GroupAssembler assembler_{kMaxGroupSize};  // guarded by lock_
  Totals totals_;                  // guarded by lock_
};

}  // namespace rtspplay
