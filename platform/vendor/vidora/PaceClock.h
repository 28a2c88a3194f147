// PaceClock: when the next picture of a playing port is due, and how much stream time has
// been played. Pictures are shown at the pace of their frame durations, divided by the rate
// (2 to the power of the speed step). A player that fell behind (no data, a slow decoder)
// starts pacing afresh instead of rushing through the pictures it missed.
#pragma once

#include <chrono>
#include <cstdint>

namespace vidora {

class PaceClock {
 public:
  using Clock = std::chrono::steady_clock;

  explicit PaceClock(int maxStep) : maxStep_(maxStep) {}

  // Played time 0, the next picture due at once. The speed stays.
  void Reset();

  // One step faster or slower; false at the limit.
  bool Faster();
  bool Slower();
  int Step() const { return step_; }

  // After a pause: the next picture is due at once.
  void Restart() { dueValid_ = false; }

  // When the next picture is due; `now` when nothing is pending.
  Clock::time_point Due(Clock::time_point now) const { return dueValid_ ? due_ : now; }

  // A picture lasting `duration` (100 ns units) was shown at `now`.
  void Presented(int64_t duration, Clock::time_point now);

  int64_t PlayedMs() const { return played_ / kUnitsPerMs; }

 private:
  static constexpr int64_t kUnitsPerMs = 10'000;
  // Later than this behind its due time, a player re-anchors at the present.
  static constexpr std::chrono::milliseconds kLateLimit{250};

  int maxStep_;
  int step_ = 0;
  int64_t played_ = 0;  // 100 ns units of stream time
  bool dueValid_ = false;
  Clock::time_point due_;
};

}  // namespace vidora
