#include "DeviceCommandLine.h"

#include <charconv>

namespace recsim {

const char* const kDeviceUsage =
    "recorder device: [--recorder-port N] [--user NAME:PASSWORD]... [--channel N=FILE]...\n"
    "              [--substream N=FILE]... [--span N:YYYYMMDDhhmmss_YYYYMMDDhhmmss=FILE]...\n"
    "              [--legacy [--legacy-port N]] [--device-fault KIND]...\n"
    "  KIND is refuse-login, stall-after=BYTES, drop-after=BYTES, bad-magic or\n"
    "  short-header.\n"
    "  Prints \"recsim recorder port N\" and \"recsim legacy port N\" before the line above.\n";

namespace {

constexpr size_t kCalendarDigits = 14;

template <typename T>
std::optional<T> Number(std::string_view text) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty())
    return std::nullopt;
  return value;
}

// "N=FILE" for --channel and --substream.
bool ChannelFile(const std::string& value, std::map<uint32_t, std::string>& into) {
  const size_t equals = value.find('=');
  if (equals == std::string::npos || equals + 1 == value.size()) return false;
  const auto channel = Number<uint32_t>(std::string_view(value).substr(0, equals));
  if (!channel) return false;
  into[*channel] = value.substr(equals + 1);
  return true;
}

// "N:START_STOP=FILE" for --span.
bool Span(const std::string& value, std::vector<SpanRecording>& into) {
  const size_t colon = value.find(':');
  const size_t equals = value.find('=');
  if (colon == std::string::npos || equals == std::string::npos || equals < colon) return false;
  const std::string times = value.substr(colon + 1, equals - colon - 1);
  const auto channel = Number<uint32_t>(std::string_view(value).substr(0, colon));
  const auto start = ParseCalendarTime(times.substr(0, kCalendarDigits));
  std::optional<time_t> stop;
  if (times.size() == 2 * kCalendarDigits + 1 && times[kCalendarDigits] == '_')
    stop = ParseCalendarTime(times.substr(kCalendarDigits + 1));
  if (!channel || !start || !stop || *stop <= *start || equals + 1 == value.size())
    return false;
  into.push_back({*channel, *start, *stop, value.substr(equals + 1)});
  return true;
}

bool Fault(const std::string& value, DeviceFaults& faults) {
  const size_t equals = value.find('=');
  const std::string kind = value.substr(0, equals);
  if (equals == std::string::npos) {
    if (kind == "refuse-login") return faults.refuseLogin = true;
    if (kind == "bad-magic") return faults.badMagic = true;
    if (kind == "short-header") return faults.shortHeader = true;
    return false;
  }
  const auto bytes = Number<uint64_t>(std::string_view(value).substr(equals + 1));
  if (!bytes || *bytes == 0) return false;
  if (kind == "stall-after") faults.stallAfter = *bytes;
  else if (kind == "drop-after") faults.dropAfter = *bytes;
  else return false;
  return true;
}

bool Port(const std::string& value, uint16_t& port) {
  const auto number = Number<uint16_t>(value);
  if (number) port = *number;
  return number.has_value();
}

}  // namespace

std::optional<time_t> ParseCalendarTime(const std::string& text) {
  if (text.size() != kCalendarDigits) return std::nullopt;
  for (const char c : text)
    if (c < '0' || c > '9') return std::nullopt;
  const auto field = [&text](size_t at, size_t size) {
    return *Number<int>(std::string_view(text).substr(at, size));
  };
  std::tm calendar{};
  calendar.tm_year = field(0, 4) - 1900;
  calendar.tm_mon = field(4, 2) - 1;
  calendar.tm_mday = field(6, 2);
  calendar.tm_hour = field(8, 2);
  calendar.tm_min = field(10, 2);
  calendar.tm_sec = field(12, 2);
  if (calendar.tm_mon < 0 || calendar.tm_mon > 11 || calendar.tm_mday < 1 ||
      calendar.tm_mday > 31 || calendar.tm_hour > 23 || calendar.tm_min > 59 ||
      calendar.tm_sec > 59)
    return std::nullopt;
  return timegm(&calendar);
}

ArgumentResult ParseDeviceArgument(const std::vector<std::string>& args, size_t& i,
                                   DeviceOptions& options, std::string& error) {
  const std::string& arg = args[i];
  if (arg == "--legacy") {
    options.legacy = true;
    return ArgumentResult::Taken;
  }
  static const char* const kWithValue[] = {"--recorder-port", "--user", "--channel",
                                           "--substream", "--span", "--legacy-port",
                                           "--device-fault"};
  bool known = false;
  for (const char* name : kWithValue) known = known || arg == name;
  if (!known) return ArgumentResult::NotMine;
  if (i + 1 >= args.size()) {
    error = arg + " needs a value";
    return ArgumentResult::Bad;
  }
  const std::string& value = args[++i];
  bool good = false;
  if (arg == "--recorder-port") {
    uint16_t port = 0;
    good = Port(value, port);
    options.recorderPort = port;
  } else if (arg == "--legacy-port") {
    good = Port(value, options.legacyPort);
  } else if (arg == "--user") {
    const size_t colon = value.find(':');
    good = colon != std::string::npos && colon > 0;
    if (good) options.users[value.substr(0, colon)] = value.substr(colon + 1);
  } else if (arg == "--channel") {
    good = ChannelFile(value, options.channels);
  } else if (arg == "--substream") {
    good = ChannelFile(value, options.substreams);
  } else if (arg == "--span") {
    good = Span(value, options.spans);
  } else {
    good = Fault(value, options.faults);
  }
  if (!good) error = "bad value '" + value + "' for " + arg;
  return good ? ArgumentResult::Taken : ArgumentResult::Bad;
}

}  // namespace recsim
