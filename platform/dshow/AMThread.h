// CAMThread: a worker thread driven by a one-slot command queue.
//
// The controlling thread sends a command with CallWorker and blocks until the worker answers it
// with Reply. The worker either blocks for the next command (GetRequest) or, while it is busy
// streaming, polls for one (CheckRequest) between units of work. Every command taken with
// GetRequest or seen by CheckRequest must be answered with exactly one Reply.
//
// Derive from CAMThread and override ThreadProc (must). Create starts the thread; Close waits
// for ThreadProc to return (the derived class first sends the command that makes it return).
#pragma once

#include <thread>

#include "HResult.h"
#include "Sync.h"

class CAMThread {
 public:
  CAMThread();
  virtual ~CAMThread();
  CAMThread(const CAMThread&) = delete;
  CAMThread& operator=(const CAMThread&) = delete;

  // Starts the worker; false if one is already running.
  bool Create();
  // Sends `request` to the worker and waits for its Reply, whose value is returned. E_FAIL when
  // no worker exists. Callers are serialised.
  DWORD CallWorker(DWORD request);
  // Waits for the worker to end and forgets it. The worker must be on its way out.
  void Close();
  bool ThreadExists() const;

 protected:
  // Worker side.
  virtual DWORD ThreadProc() = 0;
  // Blocks until a command arrives and returns it.
  DWORD GetRequest();
  // True (and the command in *request when not null) if a command is waiting.
  bool CheckRequest(DWORD* request);
  // Answers the current command and releases the caller.
  void Reply(DWORD returnValue);

 private:
  CCritSec m_AccessLock;              // serialises callers of CallWorker, Create and Close
  CAMEvent m_EventSend{EventReset::Manual};  // set while a command waits for its Reply
  CAMEvent m_EventComplete;                   // set by Reply
  DWORD m_dwParam = 0;      // the command; written by the caller before m_EventSend is set
  DWORD m_dwReturnVal = 0;  // the answer; written by the worker before m_EventComplete is set
  std::thread m_thread;     // guarded by m_AccessLock
};
