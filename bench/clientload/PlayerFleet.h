// PlayerFleet: many players of the stream client library in one process, each receiving the
// same recording through the data callback. Every player checks what arrives against the
// recording's bytes, so the benchmark can tell bytes lost or changed from bytes received.
//
// The library's callbacks are plain functions keyed by handle; the tallies live in a
// process-wide table, so there is one fleet per process. A handle's tally is written by that
// player's receive thread only and read by the main thread (atomics).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace clientload {

struct FleetTotals {
  int players = 0;
  uint64_t received = 0;    // stream bytes delivered by the data callbacks
  uint64_t lost = 0;        // bytes of the recording that did not arrive
  uint64_t mismatched = 0;  // bytes that arrived but differ from the recording or overrun it
  int complete = 0;         // players that received the whole recording
  int disconnects = 0;      // keep-alive losses reported
};

class PlayerFleet {
 public:
  // `stream` is what every player should receive: the recording after its header.
  explicit PlayerFleet(std::string stream);
  ~PlayerFleet();

  // Creates and opens `count` players on `url`; how many opened.
  int Open(int count, const std::string& url, bool udp);
  // Runs an API call on every open player; how many returned `success`.
  int Each(int (*call)(int handle), int success);
  void StopAll();
  FleetTotals Totals() const;
  bool AllComplete() const { return Totals().complete == static_cast<int>(handles_.size()); }

 private:
  std::string stream_;
  std::vector<int> handles_;
};

}  // namespace clientload
