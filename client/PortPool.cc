#include "PortPool.h"

namespace streamclient {

void PortPool::Fill(uint16_t lower, uint16_t upper) {
  std::lock_guard guard(lock_);
  ports_.clear();
  for (uint32_t port = lower; port < upper; port += 2) ports_.push_back(static_cast<uint16_t>(port));
}

uint16_t PortPool::Take() {
  std::lock_guard guard(lock_);
  if (ports_.empty()) return 0;
  const uint16_t port = ports_.front();
  ports_.pop_front();
  return port;
}

uint16_t PortPool::TakeUsable(const std::function<bool(uint16_t)>& usable) {
  std::lock_guard guard(lock_);
  for (size_t tries = ports_.size(); tries > 0; --tries) {
    const uint16_t port = ports_.front();
    ports_.pop_front();
    if (usable(port)) return port;
    ports_.push_back(port);
  }
  return 0;
}

void PortPool::GiveBack(uint16_t port) {
  if (port == 0) return;
  std::lock_guard guard(lock_);
  ports_.push_back(port);
}

}  // namespace streamclient
