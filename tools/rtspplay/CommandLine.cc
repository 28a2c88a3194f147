#include "CommandLine.h"

#include <charconv>
#include <cmath>
#include <map>
#include <string_view>

namespace rtspplay {

const char* const kUsage =
    "usage: rtspplay [--udp] [--out FILE] [--do COMMANDS] rtsp://HOST[:PORT]/PATH\n"
    "  --udp           media over UDP (TCP by default)\n"
    "  --out FILE      write the received stream as a recorder file (header and groups)\n"
    "  --do COMMANDS   run a comma-separated list instead of reading keys:\n"
    "                  play, pause, resume, stop, wait:SECONDS, seek:SECONDS, rate:SCALE\n"
    "Keys on a terminal: space pause/resume, 0-9 seek to that tenth of the recording,\n"
    "  + and - faster and slower, q stop and quit.\n"
    "Prints the stream header, the total time and, every second, the bytes and groups\n"
    "received.\n";

namespace {

// A wait or seek further than this is a typing error, not a plan.
constexpr double kMaxSeconds = 24.0 * 3600;
// The dialect's scales run from 1/8 to 8 times the normal rate.
constexpr int kMaxScale = 8;

std::optional<double> Seconds(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
      value < 0 || value > kMaxSeconds)
    return std::nullopt;
  return value;
}

std::optional<int> Scale(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < -kMaxScale ||
      value > kMaxScale)
    return std::nullopt;
  return value;
}

std::optional<Command> ParseItem(std::string_view item) {
  static const std::map<std::string_view, CommandKind> plain = {
      {"play", CommandKind::kPlay},
      {"pause", CommandKind::kPause},
      {"resume", CommandKind::kResume},
      {"stop", CommandKind::kStop}};
  if (const auto found = plain.find(item); found != plain.end()) return Command{found->second};
  const size_t colon = item.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view name = item.substr(0, colon);
  const std::string_view value = item.substr(colon + 1);
  Command command;
  if (name == "rate") {
    const auto scale = Scale(value);
    if (!scale) return std::nullopt;
    command.kind = CommandKind::kRate;
    command.scale = *scale;
    return command;
  }
  if (name != "wait" && name != "seek") return std::nullopt;
  const auto seconds = Seconds(value);
  if (!seconds) return std::nullopt;
  command.kind = name == "wait" ? CommandKind::kWait : CommandKind::kSeek;
  command.seconds = *seconds;
  return command;
}

}  // namespace

std::optional<std::vector<Command>> ParseScript(const std::string& text, std::string& error) {
  std::vector<Command> commands;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string_view item = std::string_view(text).substr(start, comma - start);
    const auto command = ParseItem(item);
    if (!command) {
      error = "bad command '" + std::string(item) + "'";
      return std::nullopt;
    }
    commands.push_back(*command);
    start = comma + 1;
  }
  return commands;
}

std::optional<Options> ParseCommandLine(const std::vector<std::string>& args, std::string& error) {
  Options options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--help") {
      options.help = true;
      return options;
    } else if (arg == "--udp") {
      options.udp = true;
    } else if (arg == "--out" && hasValue) {
      options.outPath = args[++i];
    } else if (arg == "--do" && hasValue) {
      options.script = ParseScript(args[++i], error);
      if (!options.script) return std::nullopt;
    } else if (!arg.starts_with("-") && options.url.empty()) {
      options.url = arg;
    } else {
      error = "bad argument '" + arg + "'";
      return std::nullopt;
    }
  }
  if (options.url.empty()) {
    error = "a URL is required";
    return std::nullopt;
  }
  return options;
}

}  // namespace rtspplay
