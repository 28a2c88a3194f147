#include "GraphEvents.h"

#include <chrono>

#include "DShowErrors.h"

namespace {

// A negative or INFINITE time-out waits for ever.
template <typename Pred>
bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, LONG msTimeout,
             Pred ready) {
  if (msTimeout < 0 || static_cast<DWORD>(msTimeout) == INFINITE) {
    cv.wait(lock, ready);
    return true;
  }
  return cv.wait_for(lock, std::chrono::milliseconds(msTimeout), ready);
}

}  // namespace

GraphEvents::GraphEvents() : queueEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

GraphEvents::~GraphEvents() { CloseHandle(queueEvent_); }

bool GraphEvents::Completes(LONG code) const {
  return code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT;
}

void GraphEvents::PostLocked(const Event& event) {
  queue_.push_back(event);
  if (Completes(event.code) && !completion_) completion_ = event.code;
  SetEvent(queueEvent_);
  changed_.notify_all();
}

void GraphEvents::Notify(LONG code, LONG_PTR param1, LONG_PTR param2) {
  std::lock_guard lock(mutex_);
  if (code != EC_COMPLETE || !completeDefault_) {
    PostLocked({code, param1, param2});
    return;
  }
  renderersCompleted_.insert(param2);
  if (renderersCompleted_.size() == renderersRunning_) PostLocked({EC_COMPLETE, S_OK, 0});
}

void GraphEvents::BeginRun(size_t renderers, bool fresh) {
  std::lock_guard lock(mutex_);
  renderersRunning_ = renderers;
  if (fresh) {
    completion_.reset();
    renderersCompleted_.clear();
  }
}

void GraphEvents::Restart() {
  std::lock_guard lock(mutex_);
  completion_.reset();
  renderersCompleted_.clear();
}

HRESULT GraphEvents::GetEventHandle(OAEVENT* handle) {
  if (!handle) return E_POINTER;
  *handle = reinterpret_cast<OAEVENT>(queueEvent_);
  return S_OK;
}

HRESULT GraphEvents::GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG msTimeout) {
  if (!code || !param1 || !param2) return E_POINTER;
  std::unique_lock lock(mutex_);
  if (!WaitFor(changed_, lock, msTimeout, [&] { return !queue_.empty(); })) return E_ABORT;
  const Event event = queue_.front();
  queue_.pop_front();
  if (queue_.empty()) ResetEvent(queueEvent_);
  *code = event.code;
  *param1 = event.param1;
  *param2 = event.param2;
  return S_OK;
}

HRESULT GraphEvents::WaitForCompletion(LONG msTimeout, LONG* code, bool running) {
  if (!code) return E_POINTER;
  *code = 0;
  if (!running) return VFW_E_WRONG_STATE;
  std::unique_lock lock(mutex_);
  if (!WaitFor(changed_, lock, msTimeout, [&] { return completion_.has_value(); })) return E_ABORT;
  *code = *completion_;
  return S_OK;
}

HRESULT GraphEvents::CancelDefaultHandling(LONG code) {
  if (code != EC_COMPLETE) return S_FALSE;  // no other event has default handling here
  std::lock_guard lock(mutex_);
  completeDefault_ = false;
  return S_OK;
}

HRESULT GraphEvents::RestoreDefaultHandling(LONG code) {
  if (code != EC_COMPLETE) return S_FALSE;
  std::lock_guard lock(mutex_);
  completeDefault_ = true;
  return S_OK;
}

HRESULT GraphEvents::SetNotifyWindow(OAHWND hwnd, LONG message, LONG_PTR instanceData) {
  std::lock_guard lock(mutex_);
  notifyWindow_ = hwnd;
  notifyMessage_ = message;
  notifyInstance_ = instanceData;
  return S_OK;
}

HRESULT GraphEvents::SetNotifyFlags(LONG flags) {
  if (flags != 0 && flags != AM_MEDIAEVENT_NONOTIFY) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  notifyFlags_ = flags;
  return S_OK;
}

HRESULT GraphEvents::GetNotifyFlags(LONG* flags) {
  if (!flags) return E_POINTER;
  std::lock_guard lock(mutex_);
  *flags = notifyFlags_;
  return S_OK;
}
