// What rtspplay prints: the stream header, the total time and, once a second, what arrived
// in that second and in all.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "StreamReceiver.h"

namespace rtspplay {

// The library's times are in 1/64 s.
constexpr double kTimeUnitsPerSecond = 64.0;

// "header: 40 bytes, 4HLQ, 352x288 PAL, video+audio, audio 0x1001", or why it is unusable.
std::string DescribeHeader(const std::vector<uint8_t>& header);
// "total time: 640 (10.00 s)" or "total time: live".
std::string DescribeTotalTime(int totalTime);

// Prints a line per elapsed second; the main thread calls Poll often enough.
class SecondTicker {
 public:
  using Clock = std::chrono::steady_clock;

  explicit SecondTicker(StreamReceiver& receiver);

  // Prints the lines that are due.
  void Poll();
  // Sleeps for `duration`, printing on the way, or until `cancelled` turns true.
  template <typename Cancelled>
  void Sleep(Clock::duration duration, Cancelled cancelled);
  // How long until the next line is due.
  Clock::duration UntilNext() const;

 private:
  static constexpr std::chrono::milliseconds kSleepSlice{50};

  StreamReceiver& receiver_;
  const Clock::time_point start_;
  Clock::time_point next_;
  int seconds_ = 0;
  Totals last_;
};

template <typename Cancelled>
void SecondTicker::Sleep(Clock::duration duration, Cancelled cancelled) {
  const Clock::time_point end = Clock::now() + duration;
  for (Clock::time_point now = Clock::now(); now < end && !cancelled(); now = Clock::now()) {
    Poll();
    std::this_thread::sleep_for(std::min<Clock::duration>({end - now, UntilNext(), kSleepSlice}));
  }
  Poll();
}

}  // namespace rtspplay
