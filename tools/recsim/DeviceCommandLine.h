// The device side's command-line options:
//   --recorder-port N  --user NAME:PASSWORD  --channel N=FILE  --substream N=FILE
//   --span N:YYYYMMDDhhmmss_YYYYMMDDhhmmss=FILE  --legacy  --legacy-port N
//   --device-fault refuse-login|stall-after=BYTES|drop-after=BYTES|bad-magic|short-header
#pragma once

#include <string>
#include <vector>

#include "DeviceOptions.h"

namespace recsim {

extern const char* const kDeviceUsage;

enum class ArgumentResult { NotMine, Taken, Bad };

// Reads the option at args[i] (and its value, advancing i) when it is one of the above.
ArgumentResult ParseDeviceArgument(const std::vector<std::string>& args, size_t& i,
                                   DeviceOptions& options, std::string& error);

// A "YYYYMMDDhhmmss" calendar time as UTC seconds; nothing when it does not parse.
std::optional<time_t> ParseCalendarTime(const std::string& text);

}  // namespace recsim
