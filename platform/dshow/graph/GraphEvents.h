// GraphEvents: the event side of a graph. Filters report through Notify; the application reads
// through GetEvent and WaitForCompletion.
//
// Default handling of EC_COMPLETE: the graph counts the renderers and sinks that were running
// and passes one EC_COMPLETE to the application when each of them has sent its own. With the
// default handling cancelled every EC_COMPLETE passes through. Every other event passes through
// as it comes. The completion (EC_COMPLETE, EC_ERRORABORT or EC_USERABORT reaching the
// application) is remembered for WaitForCompletion until the next Stop, Run from Stopped or
// seek (Restart).
//
// Lock: `mutex_` is a leaf lock; filters call Notify from their streaming threads while the
// graph lock may be held by a state change.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <set>

#include "GraphInterfaces.h"
#include "SyncApi.h"

class GraphEvents {
 public:
  GraphEvents();
  ~GraphEvents();
  GraphEvents(const GraphEvents&) = delete;
  GraphEvents& operator=(const GraphEvents&) = delete;

  // From the filters.
  void Notify(LONG code, LONG_PTR param1, LONG_PTR param2);
  // A run begins with `renderers` renderers and sinks to wait for; forgets an old completion
  // when `fresh` (Run from Stopped).
  void BeginRun(size_t renderers, bool fresh);
  // Forgets the completion and the renderers that completed (Stop, seek).
  void Restart();

  // IMediaEvent / IMediaEventEx.
  HRESULT GetEventHandle(OAEVENT* handle);
  HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG msTimeout);
  // VFW_E_WRONG_STATE when `running` is false; E_ABORT on time-out.
  HRESULT WaitForCompletion(LONG msTimeout, LONG* code, bool running);
  HRESULT CancelDefaultHandling(LONG code);
  HRESULT RestoreDefaultHandling(LONG code);
  HRESULT SetNotifyWindow(OAHWND hwnd, LONG message, LONG_PTR instanceData);
  HRESULT SetNotifyFlags(LONG flags);
  HRESULT GetNotifyFlags(LONG* flags);

 private:
  struct Event {
    LONG code;
    LONG_PTR param1;
    LONG_PTR param2;
  };
  void PostLocked(const Event& event);
  bool Completes(LONG code) const;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Event> queue_;                // guarded by mutex_
  std::optional<LONG> completion_;         // guarded by mutex_
  size_t renderersRunning_ = 0;            // guarded by mutex_
  std::set<LONG_PTR> renderersCompleted_;  // guarded by mutex_ (the senders, by address)
  bool completeDefault_ = true;            // guarded by mutex_
  OAHWND notifyWindow_ = 0;                // guarded by mutex_
  LONG notifyMessage_ = 0;                 // guarded by mutex_
  LONG_PTR notifyInstance_ = 0;            // guarded by mutex_
  LONG notifyFlags_ = 0;                   // guarded by mutex_
  // Manual-reset, signalled while the queue holds events (GetEventHandle).
  const HANDLE queueEvent_;
};
