#include "ServerSink.h"

#include <memory>
#include <mutex>
#include <vector>

#include "DebugOutput.h"
#include "recorder/StreamFormat.h"
#include "recorder/Trace.h"

namespace netsource {
namespace {

constexpr uint32_t kNoTotalTime = 0xFFFFFFFF;
constexpr uint32_t kTicksPerSecond = 64;
constexpr uint32_t kTicksPerMinute = 60 * kTicksPerSecond;
constexpr uint32_t kTicksPerHour = 60 * kTicksPerMinute;

struct SinkPool {
  std::mutex lock;
  std::vector<std::unique_ptr<ServerSink>> all;  // guarded by lock
  std::vector<ServerSink*> idle;                 // guarded by lock
};

// Never destroyed: the library's threads may outlive static destruction at exit.
SinkPool& Pool() {
  static SinkPool* pool = new SinkPool;
  return *pool;
}

}  // namespace

int64_t DurationOfTotalTime(uint32_t totalTime) {
  if (totalTime == kNoTotalTime) return 0;
  return static_cast<int64_t>(totalTime / kTicksPerSecond) * recorder::kUnitsPerSecond;
}

int ServerSink::OnTotalTime(int totalTime) {
  const auto ticks = static_cast<uint32_t>(totalTime);
  duration_ = DurationOfTotalTime(ticks);
  if (ticks != kNoTotalTime) {
    recorder::TraceF("total time: %d:%d:%d!\n", static_cast<int>(ticks / kTicksPerHour),
                     static_cast<int>(ticks % kTicksPerHour / kTicksPerMinute),
                     static_cast<int>(ticks % kTicksPerMinute / kTicksPerSecond));
  }
  return 0;
}

int ServerSink::OnPresentationOpened(int ok) {
  OutputDebugStringA("On PresentationOpened!");
  opened_ = ok;
  return 0;
}

int ServerSink::OnPresentationClosed() {
  OutputDebugStringA("On PresentationClosed!");
  return 0;
}

void ServerSink::Reset() {
  opened_ = -1;
  duration_ = 0;
}

ServerSink* ServerSink::Borrow() {
  SinkPool& pool = Pool();
  std::lock_guard guard(pool.lock);
  ServerSink* sink;
  if (pool.idle.empty()) {
    pool.all.push_back(std::make_unique<ServerSink>());
    sink = pool.all.back().get();
  } else {
    sink = pool.idle.back();
    pool.idle.pop_back();
  }
  sink->Reset();
  return sink;
}

void ServerSink::GiveBack(ServerSink* sink) {
  SinkPool& pool = Pool();
  std::lock_guard guard(pool.lock);
  pool.idle.push_back(sink);
}

}  // namespace netsource
