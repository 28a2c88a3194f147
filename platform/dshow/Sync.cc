#include "Sync.h"

#include <chrono>

void CCritSec::Lock() {
  m_mutex.lock();
  if (m_depth++ == 0) m_owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

void CCritSec::Unlock() {
  if (--m_depth == 0) m_owner.store(std::thread::id(), std::memory_order_relaxed);
  m_mutex.unlock();
}

bool CCritSec::IsOwnedByCurrentThread() const {
  return m_owner.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

void CAMEvent::Set() {
  {
    std::lock_guard guard(m_mutex);
    m_signalled = true;
  }
  if (m_manual) {
    m_cv.notify_all();
  } else {
    m_cv.notify_one();
  }
}

void CAMEvent::Reset() {
  std::lock_guard guard(m_mutex);
  m_signalled = false;
}

bool CAMEvent::Wait(DWORD timeoutMs) {
  std::unique_lock guard(m_mutex);
  const auto signalled = [this] { return m_signalled; };
  if (timeoutMs == 0) {
    // A poll (a streaming thread checking for commands between samples) must not enter the
    // condition variable's timed wait: that costs a context switch on every call.
    if (!m_signalled) return false;
  } else if (timeoutMs == INFINITE) {
    m_cv.wait(guard, signalled);
  } else if (!m_cv.wait_for(guard, std::chrono::milliseconds(timeoutMs), signalled)) {
    return false;
  }
  if (!m_manual) m_signalled = false;
  return true;
}
