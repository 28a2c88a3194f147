// A one-way signal a thread waits for with a timeout: that a worker thread has finished its
// work, or that a sleeping worker should wake and look at its stop flag. Workers of this
// library run detached and own (a share of) their object, so a caller that gives up waiting
// never leaves a dangling thread behind.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace streamclient {

class ExitSignal {
 public:
  void Signal() {
    std::lock_guard guard(lock_);
    done_ = true;
    changed_.notify_all();
  }

  // True when the worker signalled within the time.
  bool WaitFor(int timeoutMs) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return done_; });
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool done_ = false;  // guarded by lock_
};

}  // namespace streamclient
