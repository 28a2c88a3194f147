// ByteSink: a sink filter for the network source's tests and benchmark. Its input pin takes
// the recorder stream type and keeps what arrives: the bytes since the last flush, the sample
// count, the largest sample and the number of flushes.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
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
};

}  // namespace netsource::testing
