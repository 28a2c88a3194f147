// StreamSession: one back end's stream, driven by the output pin. Four kinds derive from it:
// RecorderLiveSession, RecorderPlaybackSession, LegacyClientSession, ServerStreamSession.
//
// Derive from it: must override Run, Pause, Stop (the graph's state changes reach them with
// the pin lock held); may override ChangeStart, GetDuration, OnStreamStart, and FillBuffer /
// GetHeader / WaitForData when the stream's data does not live in the session's own feed.
//
// A derived destructor must stop its back end and wait until no callback of it runs before the
// feed goes (the callback tables make that wait). A kind whose data does not live in one feed
// for the session's whole life (the legacy client's per-capture streams) passes no feed and
// overrides FillBuffer, GetHeader, WaitForData and WakeConsumer.
//
// States, where a kind keeps one: 0 Opened (streaming since Open), 1 Stopped, 2 Running,
// 3 Paused.
#pragma once

#include <chrono>
#include <memory>

#include "HResult.h"
#include "SessionFeed.h"

namespace netsource {

enum class SessionState { Opened = 0, Stopped = 1, Running = 2, Paused = 3 };

// What a session asks of its output pin.
class SessionPin {
 public:
  // Allocator buffer count and retirement threshold of the node pool.
  virtual LONG BufferLimit() const = 0;
  // The seeking start and stop positions (100 ns). Called with the pin lock held.
  virtual HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) = 0;

 protected:
  ~SessionPin() = default;
};

// What every session is made with.
struct SessionContext {
  SessionPin* pin = nullptr;
  std::shared_ptr<StreamReadyEvent> ready;
};

class StreamSession {
 public:
  virtual ~StreamSession() = default;
  StreamSession(const StreamSession&) = delete;
  StreamSession& operator=(const StreamSession&) = delete;

  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT ChangeStart() { return S_OK; }
  // One queued node into `target` (S_OK), NETSRC_S_NODATA, or an error.
  virtual HRESULT FillBuffer(FillTarget& target);
  // Copies the (probe-completed) header copy; false for a null destination.
  virtual bool GetHeader(uint8_t* destination);
  virtual LONGLONG GetDuration() { return 0; }
  virtual LONG BeforeFill() { return 1; }
  virtual void AfterNoData() {}
  virtual void OnStreamStart() {}

  // The streaming thread's sleep while no data is queued: until data arrives, WakeConsumer is
  // called or `timeout` passes.
  virtual void WaitForData(std::chrono::milliseconds timeout);
  virtual void WakeConsumer();

 protected:
  StreamSession(const SessionContext& context, std::shared_ptr<SessionFeed> feed);
  // A feed of 100 nodes that signals the context's stream-ready event.
  static std::shared_ptr<SessionFeed> MakeFeed(const SessionContext& context, SizeRule sizeRule,
                                               FillTraces traces);

  SessionPin* const pin_;
  const std::shared_ptr<StreamReadyEvent> ready_;
  const std::shared_ptr<SessionFeed> feed_;  // null for the legacy client
};

}  // namespace netsource
