// Synchronisation objects of the base classes.
//
// Classes:
//   CCritSec   a recursive lock (the same thread may take it again), like a critical section.
//   CAutoLock  holds a CCritSec for the lifetime of a scope.
//   CAMEvent   a manual- or auto-reset event with timed waits.
//
// Lock order used by the base classes (outermost first): the filter lock (state changes,
// connections) → a filter's streaming lock (CTransformFilter::m_csReceive) → the renderer's
// sample lock → the allocator's lock. A streaming thread never takes a filter lock of its own
// filter while delivering, so a state change may wait for it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "SyncApi.h"

class CCritSec {
 public:
  CCritSec() = default;
  CCritSec(const CCritSec&) = delete;
  CCritSec& operator=(const CCritSec&) = delete;

  void Lock();
  void Unlock();
  // True when the calling thread holds the lock (for checks in code that requires it).
  bool IsOwnedByCurrentThread() const;

 private:
  std::recursive_mutex m_mutex;
  std::atomic<std::thread::id> m_owner{};  // written only by the holder
  int m_depth = 0;                         // guarded by m_mutex
};

class CAutoLock {
 public:
  explicit CAutoLock(CCritSec* lock) : m_pLock(lock) { m_pLock->Lock(); }
  ~CAutoLock() { m_pLock->Unlock(); }
  CAutoLock(const CAutoLock&) = delete;
  CAutoLock& operator=(const CAutoLock&) = delete;

 private:
  CCritSec* const m_pLock;
};

enum class EventReset { Auto, Manual };

class CAMEvent {
 public:
  explicit CAMEvent(EventReset reset = EventReset::Auto) : m_manual(reset == EventReset::Manual) {}
  CAMEvent(const CAMEvent&) = delete;
  CAMEvent& operator=(const CAMEvent&) = delete;

  void Set();
  void Reset();
  // Waits until signalled or `timeoutMs` passes (INFINITE: no time-out). An auto-reset event is
  // reset by the wait that sees it. False on time-out. A zero time-out only tests the state.
  bool Wait(DWORD timeoutMs = INFINITE);
  // Signalled now? (Consumes the signal of an auto-reset event.)
  bool Check() { return Wait(0); }

 private:
  const bool m_manual;
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_signalled = false;  // guarded by m_mutex
};
