// The process-wide player table: up to kMaxPlayers players addressed by ids 0..99, a FIFO of
// free ids (a released id is reused only after every id queued before it), the client-port
// pools and one lock per possible handle.
//
// Lock order of the library: per-handle lock -> manager lock (only for a lookup, released
// again) -> player lock -> session lock -> adaptor lock.
#pragma once

#include <array>
#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "GrabTable.h"
#include "Player.h"
#include "PortPool.h"
#include "RtspConnection.h"

namespace streamclient {

constexpr int kMaxPlayers = 100;

class PlayerManager {
 public:
  static PlayerManager& Instance();

  // Fills the tables once; later calls do nothing. 0.
  int Init();
  bool Initialised() const { return initialised_; }

  // Enters a new IDLE player and returns its id, or -1 when no id is free.
  int Create(StreamSink* sink, int window, DataCallBack data, MsgFunc messages, int transport);
  // The player of the id (under the manager lock), or null.
  Player* Find(int id);
  // Removes the player (if the id still names it), queues its id at the back and frees it.
  void Release(Player* player);

  std::mutex& HandleLock(int id) { return handleLocks_[id]; }
  PortPools& Pools() { return pools_; }
  GrabTable& Grabs() { return grabs_; }

  RtspTimings Timings();
  // Waits given to sessions created from now on (tests shorten them).
  void SetTimings(const RtspTimings& timings);

 private:
  std::atomic<bool> initialised_{false};
  std::array<std::mutex, kMaxPlayers> handleLocks_;
  PortPools pools_;
  GrabTable grabs_;

  std::mutex lock_;  // the manager lock
  int inUse_ = 0;                                    // guarded by lock_
  std::deque<int> freeIds_;                          // guarded by lock_
  std::map<int, std::unique_ptr<Player>> players_;  // guarded by lock_
  RtspTimings timings_;                              // guarded by lock_
};

}  // namespace streamclient
