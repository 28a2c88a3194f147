// The stream-ready event: a manual-reset event that a session signals once the stream's first
// group has completed its header, and on which the filter's Load waits. Each filter has its
// own, shared with the sessions it creates, so two filters in one process never wake or close
// each other's wait.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace netsource {

class StreamReadyEvent {
 public:
  void Set() {
    {
      std::lock_guard guard(lock_);
      signalled_ = true;
    }
    changed_.notify_all();
  }
  void Reset() {
    std::lock_guard guard(lock_);
    signalled_ = false;
  }
  // True when signalled within `timeout`.
  bool Wait(std::chrono::milliseconds timeout) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, timeout, [this] { return signalled_; });
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool signalled_ = false;  // guarded by lock_
};

}  // namespace netsource
