#include "DebugTrace.h"

#include <cstdarg>
#include <cstdio>

#include "DebugOutput.h"

namespace streamclient {

namespace {
constexpr size_t kMaxTraceText = 512;
}  // namespace

void DebugTrace(const char* text) { OutputDebugStringA(text); }

void DebugTraceF(const char* format, ...) {
  char text[kMaxTraceText];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  OutputDebugStringA(text);
}

}  // namespace streamclient
