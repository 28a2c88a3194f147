// DeferredView: the view the driver sees when it runs on the conversion worker. Every call is
// recorded, in order, and replayed on the window's thread by Flush, so the driver keeps its
// one-caller rule (only one thread calls it at a time) while the window's thread never waits
// for a graph to build, start or stop. The driver never reads from its view, which is what
// makes the recording enough.
//
// Locks: m_lock guards the recorded calls only; replaying happens outside it.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "DriverView.h"

namespace recast::ui {

class DeferredView final : public IDriverView {
 public:
  explicit DeferredView(IDriverView& target) : target_(target) {}

  // Replays what was recorded, in order, on the caller's thread; calls recorded meanwhile
  // (a message box runs an event loop) are replayed by the same Flush, after the earlier ones.
  void Flush();
  bool Pending() const;

  RECAST_DRIVER_VIEW_METHODS(RECAST_DRIVER_VIEW_OVERRIDE)

 private:
  using Call = std::function<void(IDriverView&)>;
  void Record(Call call);

  IDriverView& target_;
  mutable std::mutex lock_;
  std::vector<Call> calls_;  // guarded by lock_
  bool flushing_ = false;    // window thread only
};

}  // namespace recast::ui
