#include "GrabTable.h"

namespace streamclient {

void GrabTable::Reset() {
  std::lock_guard guard(lock_);
  for (int slot = 0; slot < kGrabSlots; ++slot) {
    paths_[slot].clear();
    paths_[slot].reserve(kMaxGrabPath + 1);
    types_[slot] = 0;
    done_[slot] = false;
  }
}

void GrabTable::Arm(int slot, const std::string& path, uint16_t type) {
  std::lock_guard guard(lock_);
  paths_[slot] = path;
  types_[slot] = type;
}

void GrabTable::Target(int slot, std::string& path, uint16_t& type) {
  std::lock_guard guard(lock_);
  path = paths_[slot];
  type = types_[slot];
}

}  // namespace streamclient
