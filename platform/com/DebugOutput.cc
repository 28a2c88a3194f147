#include "DebugOutput.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "WideString.h"

namespace {

constexpr const char* kDebugEnvironment = "RECAST_DEBUG";

bool DebugToStderr() {
  static const bool enabled = [] {
    const char* value = std::getenv(kDebugEnvironment);
    return value && std::strcmp(value, "1") == 0;
  }();
  return enabled;
}

std::mutex capture_mutex;
// Replaced as a whole, so a writer can call its copy without holding capture_mutex (a
// capture that itself writes debug output must not deadlock).
std::shared_ptr<const DebugCapture> capture;  // guarded by capture_mutex

}  // namespace

void OutputDebugStringA(LPCSTR text) {
  if (!text) return;
  std::shared_ptr<const DebugCapture> current;
  {
    std::lock_guard lock(capture_mutex);
    current = capture;
  }
  if (current) {
    (*current)(text);
  } else if (DebugToStderr()) {
    std::fputs(text, stderr);
  }
}

void OutputDebugStringW(LPCWSTR text) {
  if (!text) return;
  OutputDebugStringA(WideToUtf8(text).c_str());
}

void SetDebugCapture(DebugCapture new_capture) {
  auto replacement =
      new_capture ? std::make_shared<const DebugCapture>(std::move(new_capture)) : nullptr;
  std::lock_guard lock(capture_mutex);
  capture = std::move(replacement);
}
