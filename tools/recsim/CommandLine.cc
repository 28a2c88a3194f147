#include "CommandLine.h"

#include <climits>
#include <filesystem>

#include "DeviceCommandLine.h"
#include "RequestReader.h"

namespace recsim {

const char* const kUsage =
    "usage: recsim --root DIR [--port N] [--fast] [--session-timeout SECONDS]\n"
    "              [--fault METHOD:KIND[=VALUE]]... [--close-media-after BYTES]\n"
    "              [--close-control-after BYTES]\n"
    "  METHOD is SETUP, PLAY, PAUSE, TEARDOWN, OPTIONS, ANNOUNCE (the keep-alive) or *;\n"
    "  KIND is status=CODE, delay=MS, silent[=N answered first], malformed, oversized,\n"
    "  late=MS (answered after later requests), stale (an old CSeq's answer first) or\n"
    "  redirect=N (SETUP: N redirects before serving).\n"
    "Prints \"recsim listening on port N\" once it accepts connections.\n";

namespace {

constexpr long kMaxPort = 65535;

// The number after an option; nothing when it is missing, negative or above `max`.
std::optional<long> NumberArg(const std::vector<std::string>& args, size_t& i, long max) {
  if (i + 1 >= args.size()) return std::nullopt;
  const auto value = LeadingNumber(args[++i]);
  if (!value || *value < 0 || *value > max) return std::nullopt;
  return value;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, ServerOptions& options,
                      std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::optional<long> number;
    if (arg == "--fast") {
      options.fast = true;
    } else if (arg == "--root" && i + 1 < args.size()) {
      options.root = args[++i];
    } else if (arg == "--port" && (number = NumberArg(args, i, kMaxPort))) {
      options.port = static_cast<uint16_t>(*number);
    } else if (arg == "--session-timeout" && (number = NumberArg(args, i, LONG_MAX))) {
      options.sessionTimeout = std::chrono::seconds(*number);
    } else if (arg == "--close-media-after" && (number = NumberArg(args, i, LONG_MAX))) {
      options.faults.closeMediaAfter = static_cast<uint64_t>(*number);
    } else if (arg == "--close-control-after" && (number = NumberArg(args, i, LONG_MAX))) {
      options.faults.closeControlAfter = static_cast<uint64_t>(*number);
    } else if (arg == "--fault" && i + 1 < args.size()) {
      if (!options.faults.AddRule(args[++i], error)) return false;
    } else if (const auto device = ParseDeviceArgument(args, i, options.device, error);
               device != ArgumentResult::Taken) {
      if (device == ArgumentResult::NotMine) error = "bad argument '" + arg + "'";
      return false;
    }
  }
  if (options.root.empty()) {
    error = "--root is required";
    return false;
  }
  std::error_code ignored;
  if (!std::filesystem::is_directory(options.root, ignored)) {
    error = "--root " + options.root + " is not a folder";
    return false;
  }
  return true;
}

}  // namespace recsim
