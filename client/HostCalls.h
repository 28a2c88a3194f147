// Calls into the host program. A host may call any QRLS_ function from inside any of its
// callbacks (QRLS_Stop of the same handle included), so no callback may run while a library
// lock is held: what is decided under a lock is queued in a HostCalls list and made once the
// locks are released.
#pragma once

#include <functional>
#include <vector>

#include "client/StreamClient.h"

namespace streamclient {

// The host's notification routes of one player.
struct HostContact {
  int handle = -1;
  StreamSink* sink = nullptr;
  MsgFunc messages = nullptr;

  void OpenSucceeded(int totalTime) const;
  void OpenFailed() const;
  // The session lost its server: keep-alives unanswered, or the media connection closed.
  void Disconnected() const;
};

// Host calls in the order they were decided, made later by Run().
class HostCalls {
 public:
  void Add(std::function<void()> call) { calls_.push_back(std::move(call)); }
  void Append(HostCalls&& other);
  bool Empty() const { return calls_.empty(); }
  // Makes every call in order and empties the list. No library lock may be held.
  void Run();

 private:
  std::vector<std::function<void()>> calls_;
};

}  // namespace streamclient
