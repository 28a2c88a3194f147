// DriverWorker: the one thread on which the window's driver calls that may build, start or
// stop a graph are carried out, in the order they were posted. Each job's `done` runs after
// it on the worker; the window turns that into a call on its own thread.
//
// Locks: lock_ guards the queue and the stop flag.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace recast::ui {

class DriverWorker {
 public:
  using Job = std::function<void()>;

  DriverWorker();
  // Finishes the jobs already posted, then ends the thread.
  ~DriverWorker();
  DriverWorker(const DriverWorker&) = delete;
  DriverWorker& operator=(const DriverWorker&) = delete;

  void Post(Job job);

 private:
  void Loop();

  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;  // guarded by lock_
  bool ending_ = false;   // guarded by lock_
  std::thread thread_;
};

}  // namespace recast::ui
