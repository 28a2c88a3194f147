// PlayerHost: rtspplay's one player of the stream client library, fed through the data
// callback only (no window). It opens the URL, runs the commands and prints what each did
// and what the library reports.
//
// The library's callbacks are plain functions, so the receiver and the last notified total
// time live in process-wide slots; rtspplay never has more than one player.
#pragma once

#include <memory>
#include <string>

#include "CommandLine.h"
#include "StreamReceiver.h"

namespace rtspplay {

class PlayerHost {
 public:
  // Starts the library, creates the player and opens the URL; nothing with `error` set when
  // any step fails.
  static std::unique_ptr<PlayerHost> Open(const Options& options, StreamReceiver& receiver,
                                          std::string& error);
  // Destroys a player that was not stopped.
  ~PlayerHost();
  PlayerHost(const PlayerHost&) = delete;
  PlayerHost& operator=(const PlayerHost&) = delete;

  // Runs one command (waits are the caller's) and prints its result; false when it failed.
  bool Run(const Command& command);
  bool Stopped() const { return handle_ < 0; }
  bool Paused() const { return paused_; }
  // The total time the open reported, in 1/64 s; -1 for a live stream.
  static int TotalTime();

 private:
  explicit PlayerHost(int handle) : handle_(handle) {}
  int Call(const Command& command);

  int handle_;  // -1 once stopped
  bool paused_ = false;
};

}  // namespace rtspplay
