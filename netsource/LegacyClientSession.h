// LegacyClientSession: a live stream through the legacy stream client ("Real://"). The client
// names each running stream by a small index (0 to 15) and calls back with that index only,
// so each capture's feed lives in a process-wide table under its index, beside the index's
// awaiting-header flag. Every capture start makes a fresh feed; Stop destroys it.
//
// The first Pause (the one a player issues while starting the graph) leaves the stream
// running; every later Pause stops it and the next Run starts a new capture.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>

#include "CallbackTable.h"
#include "QrlClient.h"
#include "StreamSession.h"

namespace netsource {

class LegacyClientSession final : public StreamSession {
 public:
  explicit LegacyClientSession(const SessionContext& context);
  ~LegacyClientSession() override;

  HRESULT Start(const std::string& host, LONG channel);

  HRESULT Run() override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT FillBuffer(FillTarget& target) override;
  bool GetHeader(uint8_t* destination) override;
  void WaitForData(std::chrono::milliseconds timeout) override;
  void WakeConsumer() override;

  LONG StreamIndex() const { return index_; }

 private:
  HRESULT CaptureStart();
  // Ends the held stream in the library, then drops its table entry and feed.
  HRESULT EndStream();
  std::shared_ptr<SessionFeed> CurrentStream();

  const SessionContext context_;
  std::string host_;
  LONG channel_ = 0;
  QLC_STARTBLOCK block_{};
  LONG index_ = -1;
  // The held stream's feed, also in the table. Changed with the pin lock and streamLock_ held;
  // the streaming thread's waits, which run without the pin lock, copy it under streamLock_.
  std::shared_ptr<SessionFeed> stream_;
  std::mutex streamLock_;
  std::condition_variable streamChanged_;  // a capture started or the consumer was woken
  bool consumerWoken_ = false;              // guarded by streamLock_
  SessionState state_ = SessionState::Stopped;
  bool firstPause_ = true;
};

// The legacy client's data callback: the first 40-byte block after a capture start is the
// header; indexes outside 0..15 are ignored.
void LegacyDataCallBack(LONG streamIndex, BYTE* buffer, DWORD size);

}  // namespace netsource
