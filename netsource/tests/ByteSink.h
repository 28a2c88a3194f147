// ByteSink: a sink filter for the network source's tests and benchmark. Its input pin takes
// the recorder stream type and keeps what arrives: the bytes since the last flush, the sample
// count, the largest sample and the number of flushes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "Filter.h"

namespace netsource::testing {

class ByteSink final : public CBaseFilter {
 public:
  ByteSink();
  ~ByteSink() override;
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override;
  IPin* Input();

  // Stops keeping bytes (counts only), for long runs.
  void CountOnly() { keepBytes_ = false; }
  // Compares what arrives with `header` followed by `body` repeated (a looped live view);
  // bytes that differ count as lost or changed. Set before streaming.
  void Expect(std::string header, std::string body);
  uint64_t Mismatched();
  // When the first sample arrived, if one did.
  std::optional<std::chrono::steady_clock::time_point> FirstSampleTime();

  std::string Bytes();
  uint64_t ByteCount();
  long Samples();
  long Flushes();
  size_t LargestSample();
  // Until at least `bytes` bytes arrived since the last flush or `seconds` passed.
  bool WaitForBytes(uint64_t bytes, double seconds);

 private:
  class InputPin;
  friend class InputPin;
  void Received(const uint8_t* data, size_t length);
  void Compare(const uint8_t* data, size_t length);  // dataLock_ held
  void Flushed();

  CCritSec lock_;
  InputPin* pin_;
  std::mutex dataLock_;
  std::condition_variable arrived_;
  bool keepBytes_ = true;  // set before streaming
  std::string bytes_;      // guarded by dataLock_
  uint64_t byteCount_ = 0;  // guarded by dataLock_
  long samples_ = 0;        // guarded by dataLock_
  long flushes_ = 0;        // guarded by dataLock_
  size_t largest_ = 0;      // guarded by dataLock_
  std::string expected_;    // set before streaming: the header, then the looped body
  size_t headerSize_ = 0;
  uint64_t position_ = 0;    // guarded by dataLock_: bytes compared so far
  uint64_t mismatched_ = 0;  // guarded by dataLock_
  std::optional<std::chrono::steady_clock::time_point> first_;  // guarded by dataLock_
};

}  // namespace netsource::testing
