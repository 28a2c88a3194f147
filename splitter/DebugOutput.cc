#include "DebugOutput.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace splitter {

void DebugOutput(const char* text) {
  const char* enabled = std::getenv("RECAST_DEBUG");
  if (enabled && std::strcmp(enabled, "1") == 0) std::fputs(text, stderr);
}

}  // namespace splitter
