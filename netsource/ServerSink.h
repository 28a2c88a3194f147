// ServerSink: the StreamSink a server session gives the stream client library. It records the
// open confirmation and the total time; the session reads them. Sinks come from a pool that
// lives as long as the process, so a late call from the library never reaches freed memory;
// a sink back in the pool is reset before it is lent again.
#pragma once

#include <atomic>
#include <cstdint>

#include "client/StreamClient.h"

namespace netsource {

class ServerSink final : public StreamSinkDefaults {
 public:
  int OnTotalTime(int totalTime) override;
  int OnPresentationOpened(int ok) override;
  int OnPresentationClosed() override;
  int OnDisconnected() override { return 0; }  // the stream simply stops delivering

  void Reset();
  int Opened() const { return opened_; }
  void SetOpened(int value) { opened_ = value; }
  int64_t Duration() const { return duration_; }

  static ServerSink* Borrow();
  static void GiveBack(ServerSink* sink);

 private:
  std::atomic<int> opened_{-1};
  std::atomic<int64_t> duration_{0};  // 100 ns units
};

// The duration a total time in 1/64 s stands for: whole seconds only; 0 for none (-1).
int64_t DurationOfTotalTime(uint32_t totalTime);

}  // namespace netsource
