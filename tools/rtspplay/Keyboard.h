// Single keys from a terminal: raw mode while the object lives, and the command each key
// stands for.
#pragma once

#include <termios.h>

#include <chrono>
#include <optional>

#include "CommandLine.h"

namespace rtspplay {

class RawTerminal {
 public:
  // Switches standard input to unbuffered, unechoed keys when it is a terminal.
  RawTerminal();
  ~RawTerminal();
  RawTerminal(const RawTerminal&) = delete;
  RawTerminal& operator=(const RawTerminal&) = delete;

  bool Active() const { return active_; }
  // The next key, or nothing when none came within `timeout`.
  std::optional<char> ReadKey(std::chrono::milliseconds timeout);

 private:
  bool active_ = false;
  termios saved_{};
};

// What the keys mean: the player's current pause state, the total time (1/64 s, -1 live)
// and the scale last asked for, which + and - move along 1/8 ... 8.
struct KeyContext {
  bool paused = false;
  int totalTime = -1;
  int scale = 0;
};

// The command for `key`; nothing for keys without one. 'q' gives kStop.
std::optional<Command> CommandForKey(char key, const KeyContext& context);

}  // namespace rtspplay
