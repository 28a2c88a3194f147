// The simulator's command line:
//   recsim --root DIR [--port N] [--fast] [--session-timeout S]
//          [--fault METHOD:KIND[=VALUE]]... [--close-media-after BYTES]
//          [--close-control-after BYTES]
#pragma once

#include <string>
#include <vector>

#include "ServerOptions.h"

namespace recsim {

extern const char* const kUsage;

// Fills `options`; false with a reason on a bad or missing argument.
bool ParseCommandLine(const std::vector<std::string>& args, ServerOptions& options,
                      std::string& error);

}  // namespace recsim
