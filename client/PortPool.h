// A FIFO of client ports: taken from the front, given back at the back, so a port that was
// just freed is the last to be handed out again.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace streamclient {

constexpr uint16_t kFirstClientPort = 10000;
constexpr uint16_t kClientPortLimit = 10200;  // exclusive

class PortPool {
 public:
  // Empties the pool and appends every even port from lower up to, not including, upper.
  void Fill(uint16_t lower, uint16_t upper);
  // The front port, or 0 when the pool is empty (the system then chooses the local port).
  uint16_t Take();
  // The first port from the front that `usable` accepts; ports it refuses (held by another
  // program) move to the back. 0 when the pool is empty or no port is usable.
  uint16_t TakeUsable(const std::function<bool(uint16_t)>& usable);
  // Port 0 (handed out by an empty pool) is not a pool port and is not taken back.
  void GiveBack(uint16_t port);

 private:
  std::mutex lock_;
  std::deque<uint16_t> ports_;  // guarded by lock_
};

}  // namespace streamclient

namespace streamclient {

// The client-port pools of the library: UDP and TCP sessions draw from separate pools holding
// the same numbers, so a UDP and a TCP session may use one port number at once.
struct PortPools {
  PortPool udp;
  PortPool tcp;
};

}  // namespace streamclient
