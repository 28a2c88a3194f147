#include "DriverWorker.h"

#include "ComRuntime.h"

namespace recast::ui {

DriverWorker::DriverWorker() : thread_([this] { Loop(); }) {}

DriverWorker::~DriverWorker() {
  {
    const std::lock_guard guard(lock_);
    ending_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void DriverWorker::Post(Job job) {
  {
    const std::lock_guard guard(lock_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void DriverWorker::Loop() {
  // The graphs made here are used from the window's thread too, so the thread joins the
  // process's multithreaded apartment.
  const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  for (;;) {
    Job job;
    {
      std::unique_lock guard(lock_);
      wake_.wait(guard, [this] { return ending_ || !jobs_.empty(); });
      if (jobs_.empty()) break;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
  if (com) CoUninitialize();
}

}  // namespace recast::ui
