// The trace hook: diagnostic texts of the stream parsers. It discards everything until a
// host (or a test) installs a hook; formatting is skipped entirely while nothing listens.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace recorder {

using TraceHook = void (*)(const char* text, void* context);

namespace detail {
struct TraceTarget {
  std::mutex lock;  // guards hook and context; taken only while a hook is installed
  std::atomic<bool> active{false};
  TraceHook hook = nullptr;
  void* context = nullptr;
};
inline TraceTarget g_traceTarget;

inline void Deliver(const char* text) {
  std::lock_guard guard(g_traceTarget.lock);
  if (g_traceTarget.hook) g_traceTarget.hook(text, g_traceTarget.context);
}
}  // namespace detail

// Installs (or, with nullptr, removes) the process-wide trace hook.
inline void SetTraceHook(TraceHook hook, void* context = nullptr) {
  std::lock_guard guard(detail::g_traceTarget.lock);
  detail::g_traceTarget.hook = hook;
  detail::g_traceTarget.context = context;
  detail::g_traceTarget.active = hook != nullptr;
}

inline void Trace(const char* text) {
  if (detail::g_traceTarget.active) detail::Deliver(text);
}

__attribute__((format(printf, 1, 2))) inline void TraceF(const char* format, ...) {
  if (!detail::g_traceTarget.active) return;
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  detail::Deliver(text);
}

}  // namespace recorder
