#include "FrameSink.h"

#include <map>
#include <mutex>

namespace {

struct SinkEntry {
  FrameSinkProc proc = nullptr;
  void* context = nullptr;
};

struct SinkTable {
  // Guards entries. Held while a sink runs, so that UnregisterFrameSink returning means the
  // sink is no longer in use; a sink must therefore not register or unregister sinks itself.
  std::mutex lock;
  std::map<HWND, SinkEntry> entries;
};

SinkTable& Table() {
  static SinkTable table;
  return table;
}

}  // namespace

bool RegisterFrameSink(HWND window, FrameSinkProc proc, void* context) {
  if (window == 0 || proc == nullptr) return false;
  SinkTable& table = Table();
  std::lock_guard guard(table.lock);
  return table.entries.try_emplace(window, SinkEntry{proc, context}).second;
}

void UnregisterFrameSink(HWND window) {
  SinkTable& table = Table();
  std::lock_guard guard(table.lock);
  table.entries.erase(window);
}

bool PaintFrameSink(HWND window, const FramePicture& picture) {
  if (window == 0) return false;
  SinkTable& table = Table();
  std::lock_guard guard(table.lock);
  const auto found = table.entries.find(window);
  if (found == table.entries.end()) return false;
  found->second.proc(found->second.context, window, picture);
  return true;
}
