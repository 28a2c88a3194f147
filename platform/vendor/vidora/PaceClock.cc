#include "PaceClock.h"

namespace vidora {

void PaceClock::Reset() {
  played_ = 0;
  dueValid_ = false;
}

bool PaceClock::Faster() {
  if (step_ >= maxStep_) return false;
  ++step_;
  return true;
}

bool PaceClock::Slower() {
  if (step_ <= -maxStep_) return false;
  --step_;
  return true;
}

void PaceClock::Presented(int64_t duration, Clock::time_point now) {
  played_ += duration;
  // Wall time per picture: the duration scaled by 2^-step, in nanoseconds.
  int64_t wallNs = duration * 100;
  wallNs = step_ >= 0 ? wallNs >> step_ : wallNs << -step_;
  const Clock::time_point base = dueValid_ && now - due_ < kLateLimit ? due_ : now;
  due_ = base + std::chrono::nanoseconds(wallNs);
  dueValid_ = true;
}

}  // namespace vidora
