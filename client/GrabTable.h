// The picture-grab slots, one per player id: where the next displayed frame of that port is
// to be written and in which format, and whether it has been. The display callback of the
// player SDK fills a slot from the SDK's playing thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace streamclient {

constexpr int kGrabSlots = 100;
constexpr size_t kMaxGrabPath = 1024;

enum class GrabType : uint16_t { kBmp = 0, kJpeg = 1 };

class GrabTable {
 public:
  void Reset();
  // Stores the slot's path and type.
  void Arm(int slot, const std::string& path, uint16_t type);
  // Path and raw type of the slot.
  void Target(int slot, std::string& path, uint16_t& type);
  void SetDone(int slot) { done_[slot] = true; }
  void ClearDone(int slot) { done_[slot] = false; }
  bool Done(int slot) const { return done_[slot]; }

 private:
  std::mutex lock_;
  std::array<std::string, kGrabSlots> paths_;  // guarded by lock_
  std::array<uint16_t, kGrabSlots> types_{};   // guarded by lock_
  std::array<std::atomic<bool>, kGrabSlots> done_{};
};

}  // namespace streamclient
