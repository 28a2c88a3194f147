#include "SyncApi.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "HResult.h"
#include "LastError.h"

namespace {

class Event {
 public:
  Event(bool manual_reset, bool signalled) : manual_reset_(manual_reset), signalled_(signalled) {}

  void Set() {
    {
      std::lock_guard lock(mutex_);
      signalled_ = true;
    }
    if (manual_reset_)
      changed_.notify_all();
    else
      changed_.notify_one();
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
  }
  DWORD Wait(DWORD milliseconds) {
    std::unique_lock lock(mutex_);
    const auto ready = [this] { return signalled_; };
    if (milliseconds == INFINITE) {
      changed_.wait(lock, ready);
    } else if (!changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), ready)) {
      return WAIT_TIMEOUT;
    }
    if (!manual_reset_) signalled_ = false;
    return WAIT_OBJECT_0;
  }

 private:
  const bool manual_reset_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_;  // guarded by mutex_
};

// Handles are numbers, never addresses, so a closed or made-up handle is refused rather than
// dereferenced. A wait holds its own reference, so closing a handle another thread waits on
// is safe (that wait then ends only by its timeout or a SetEvent through another handle).
class HandleTable {
 public:
  HANDLE Add(std::shared_ptr<Event> event) {
    std::lock_guard lock(mutex_);
    next_ += kHandleStep;
    events_.emplace(next_, std::move(event));
    return reinterpret_cast<HANDLE>(next_);
  }
  std::shared_ptr<Event> Find(HANDLE handle) {
    std::lock_guard lock(mutex_);
    const auto it = events_.find(reinterpret_cast<uintptr_t>(handle));
    return it == events_.end() ? nullptr : it->second;
  }
  bool Remove(HANDLE handle) {
    std::lock_guard lock(mutex_);
    return events_.erase(reinterpret_cast<uintptr_t>(handle)) == 1;
  }

 private:
  static constexpr uintptr_t kHandleStep = 4;  // Windows handles are multiples of 4
  std::mutex mutex_;
  uintptr_t next_ = 0;                                            // guarded by mutex_
  std::unordered_map<uintptr_t, std::shared_ptr<Event>> events_;  // guarded by mutex_
};

HandleTable& Handles() {
  static HandleTable table;
  return table;
}

std::shared_ptr<Event> FindEvent(HANDLE handle) {
  auto event = Handles().Find(handle);
  if (!event) SetLastError(ERROR_INVALID_HANDLE);
  return event;
}

}  // namespace

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0)
    std::this_thread::yield();
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

ULONGLONG GetTickCount64() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<ULONGLONG>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manual_reset, BOOL initial_state, LPCWSTR name) {
  if (name) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  return Handles().Add(std::make_shared<Event>(manual_reset, initial_state));
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manual_reset, BOOL initial_state,
                    LPCSTR name) {
  if (name) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  return CreateEventW(attributes, manual_reset, initial_state, nullptr);
}

BOOL SetEvent(HANDLE handle) {
  const auto event = FindEvent(handle);
  if (!event) return FALSE;
  event->Set();
  return TRUE;
}

BOOL ResetEvent(HANDLE handle) {
  const auto event = FindEvent(handle);
  if (!event) return FALSE;
  event->Reset();
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  const auto event = FindEvent(handle);
  return event ? event->Wait(milliseconds) : WAIT_FAILED;
}

BOOL CloseHandle(HANDLE handle) {
  if (Handles().Remove(handle)) return TRUE;
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}
