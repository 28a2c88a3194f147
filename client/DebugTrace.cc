#include "DebugTrace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace streamclient {

namespace {
constexpr size_t kMaxTraceText = 512;

bool DebugEnabled() {
  static const bool enabled = [] {
    const char* value = std::getenv("RECAST_DEBUG");
    return value && std::strcmp(value, "1") == 0;
  }();
  return enabled;
}
}  // namespace

void DebugTrace(const char* text) {
  if (DebugEnabled()) std::fputs(text, stderr);
}

void DebugTraceF(const char* format, ...) {
  char text[kMaxTraceText];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  DebugTrace(text);
}

}  // namespace streamclient
