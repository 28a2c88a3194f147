// rtspplay's command line: the URL, the media transport, an optional output file and an
// optional list of commands that replaces the keyboard.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace rtspplay {

extern const char* const kUsage;

enum class CommandKind { kPlay, kPause, kResume, kSeek, kRate, kWait, kStop };

struct Command {
  CommandKind kind = CommandKind::kPlay;
  double seconds = 0;  // kSeek: position; kWait: how long
  int scale = 0;       // kRate: the dialect's scale (n > 0 n times faster, n < 0 1/|n|)
};

struct Options {
  std::string url;
  bool udp = false;
  std::string outPath;                          // empty: no output file
  std::optional<std::vector<Command>> script;  // --do; none: keyboard or play until signalled
  bool help = false;
};

// Nothing with `error` set when the arguments are unusable.
std::optional<Options> ParseCommandLine(const std::vector<std::string>& args, std::string& error);

// One --do list ("play,wait:2,pause,seek:10,rate:2,stop"); nothing with `error` set when an
// item is unknown or its value is missing or out of range.
std::optional<std::vector<Command>> ParseScript(const std::string& text, std::string& error);

}  // namespace rtspplay
