#include "CommandLine.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <stdexcept>

namespace recgen {

const char* const kUsage =
    "usage: recgen [options] OUT\n"
    "  --codec h264|mpeg4|mpeg4sh   video coding and magic 4HLQ, 4MLQ or 4MSH (h264)\n"
    "  --size WxH                   picture size (352x288)\n"
    "  --fps N                      frames per second (25)\n"
    "  --seconds S | --frames N     length (10 s)\n"
    "  --audio none|CODE            audio code: 0x1001, 0x1011, 0x1012, 0x1013, 0x7110,\n"
    "                               0x7111, 0x7221 (aliases 0 and 0x1003) (none)\n"
    "  --group-frames N             frames per group (25)\n"
    "  --gop-groups N               groups per GOP; the first is a key group (2)\n"
    "  --old-header                 resolution code instead of width and height\n"
    "  --ntsc                       NTSC video standard (PAL)\n"
    "  --system 0x1001|0x1002|0x1003  video only, audio only, both (by --audio)\n"
    "  --garbage N                  N random bytes before the first group\n"
    "  --flip N [--seed S]          XOR N random bytes after the file header\n"
    "  --bad-block-group K          invalid block type in group K (0-based)\n"
    "  --truncate N                 cut N bytes from the end\n"
    "  --elementary DIR             also write the raw video, audio and PCM streams to DIR\n";

namespace {

constexpr const char* kDefaultSeconds = "10";

// An unsigned number in decimal or with a 0x prefix.
uint64_t ParseNumber(const std::string& text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* first = text.data() + (hex ? 2 : 0);
  const char* last = text.data() + text.size();
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(first, last, value, hex ? 16 : 10);
  if (error != std::errc() || end != last || first == last)
    throw std::invalid_argument("not a number: " + text);
  return value;
}

int ParseInt(const std::string& text) {
  const uint64_t value = ParseNumber(text);
  if (value > 1'000'000'000) throw std::invalid_argument("number too large: " + text);
  return static_cast<int>(value);
}

VideoCodec ParseCodec(const std::string& text) {
  if (text == "h264") return VideoCodec::H264;
  if (text == "mpeg4") return VideoCodec::Mpeg4;
  if (text == "mpeg4sh") return VideoCodec::Mpeg4Sh;
  throw std::invalid_argument("unknown codec: " + text);
}

void ParseSize(const std::string& text, Options& o) {
  const size_t x = text.find('x');
  if (x == std::string::npos) throw std::invalid_argument("size must be WxH: " + text);
  o.width = ParseInt(text.substr(0, x));
  o.height = ParseInt(text.substr(x + 1));
}

int SecondsToFrames(const std::string& text, int fps) {
  size_t used = 0;
  const double seconds = std::stod(text, &used);
  if (used != text.size() || !(seconds > 0) || seconds > 1e6)
    throw std::invalid_argument("bad length in seconds: " + text);
  return static_cast<int>(std::lround(seconds * fps));
}

using Setter = std::function<void(const std::string&, Options&)>;

const std::map<std::string, Setter>& ValueOptions() {
  static const std::map<std::string, Setter> setters = {
      {"--codec", [](const std::string& v, Options& o) { o.codec = ParseCodec(v); }},
      {"--size", ParseSize},
      {"--fps", [](const std::string& v, Options& o) { o.fps = ParseInt(v); }},
      {"--audio",
       [](const std::string& v, Options& o) {
         if (v == "none") o.audioCode.reset();
         else o.audioCode = static_cast<uint32_t>(ParseNumber(v));
       }},
      {"--group-frames", [](const std::string& v, Options& o) { o.groupFrames = ParseInt(v); }},
      {"--gop-groups", [](const std::string& v, Options& o) { o.gopGroups = ParseInt(v); }},
      {"--system",
       [](const std::string& v, Options& o) { o.systemType = static_cast<uint16_t>(ParseNumber(v)); }},
      {"--garbage", [](const std::string& v, Options& o) { o.damage.garbageBytes = ParseNumber(v); }},
      {"--flip", [](const std::string& v, Options& o) { o.damage.flipCount = ParseNumber(v); }},
      {"--seed",
       [](const std::string& v, Options& o) { o.damage.seed = static_cast<uint32_t>(ParseNumber(v)); }},
      {"--bad-block-group",
       [](const std::string& v, Options& o) { o.damage.badBlockGroup = ParseNumber(v); }},
      {"--truncate", [](const std::string& v, Options& o) { o.damage.truncateBytes = ParseNumber(v); }},
      {"--elementary", [](const std::string& v, Options& o) { o.elementaryDir = v; }},
  };
  return setters;
}

void ParseInto(const std::vector<std::string>& args, ParsedCommandLine& parsed) {
  Options& o = parsed.options;
  std::string seconds = kDefaultSeconds;  // the last of --seconds and --frames wins
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      parsed.help = true;
    } else if (arg == "--old-header") {
      o.oldHeader = true;
    } else if (arg == "--ntsc") {
      o.videoStandard = recorder::kStandardNtsc;
    } else if (arg == "--seconds" || arg == "--frames" || ValueOptions().count(arg)) {
      if (i + 1 >= args.size()) throw std::invalid_argument(arg + " needs a value");
      const std::string& value = args[++i];
      if (arg == "--seconds") {
        seconds = value;  // applied once the frame rate is known
      } else if (arg == "--frames") {
        o.frames = ParseInt(value);
        seconds.clear();
      } else {
        ValueOptions().at(arg)(value, o);
      }
    } else if (arg.starts_with("-")) {
      throw std::invalid_argument("unknown option: " + arg);
    } else if (o.output.empty()) {
      o.output = arg;
    } else {
      throw std::invalid_argument("more than one output file: " + arg);
    }
  }
  if (!seconds.empty()) o.frames = SecondsToFrames(seconds, o.fps);
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  ParsedCommandLine parsed;
  try {
    ParseInto(args, parsed);
    if (!parsed.help) parsed.error = ValidateOptions(parsed.options);
  } catch (const std::exception& e) {
    parsed.error = e.what();
  }
  return parsed;
}

}  // namespace recgen
