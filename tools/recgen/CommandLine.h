// recgen's command line.
#pragma once

#include <string>
#include <vector>

#include "Options.h"

namespace recgen {

struct ParsedCommandLine {
  Options options;
  std::string error;  // empty when the command line was understood
  bool help = false;
};

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

extern const char* const kUsage;

}  // namespace recgen
