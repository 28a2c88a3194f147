#include "SystemClock.h"

#include <chrono>
#include <limits>

#include "Sync.h"

namespace {

constexpr REFERENCE_TIME kUnitsPerMicrosecond = 10;

}  // namespace

void ClockSemaphore::Release(LONG count) {
  std::lock_guard lock(mutex_);
  count_ += count;
  available_.notify_all();
}

bool ClockSemaphore::Wait(DWORD timeoutMs) {
  std::unique_lock lock(mutex_);
  auto ready = [&] { return count_ > 0; };
  if (timeoutMs == INFINITE) available_.wait(lock, ready);
  else if (!available_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) return false;
  --count_;
  return true;
}

REFERENCE_TIME SystemClockNow() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count() *
         kUnitsPerMicrosecond;
}

SystemClock::SystemClock() : CUnknown("SystemClock", nullptr) {}

SystemClock::~SystemClock() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

CUnknown* SystemClock::CreateInstance(IUnknown* outer, HRESULT* phr) {
  if (outer) {
    *phr = CLASS_E_NOAGGREGATION;
    return nullptr;
  }
  auto* object = new (std::nothrow) SystemClock;
  if (!object) *phr = E_OUTOFMEMORY;
  return object;
}

HRESULT SystemClock::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IReferenceClock) return GetInterface(static_cast<IReferenceClock*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT SystemClock::GetTime(REFERENCE_TIME* pTime) {
  if (!pTime) return E_POINTER;
  *pTime = SystemClockNow();
  return S_OK;
}

HRESULT SystemClock::AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event,
                                DWORD_PTR* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!event) return E_INVALIDARG;
  REFERENCE_TIME due;
  if (__builtin_add_overflow(baseTime, streamTime, &due) || due <= 0) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  if (!thread_.joinable()) thread_ = std::thread([this] { Serve(); });
  *cookie = nextCookie_++;
  advises_.emplace(*cookie, Advise{due, 0, event, 0});
  wake_.notify_all();
  return S_OK;
}

HRESULT SystemClock::AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                                    HSEMAPHORE semaphore, DWORD_PTR* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!semaphore || startTime <= 0 || periodTime <= 0) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  if (!thread_.joinable()) thread_ = std::thread([this] { Serve(); });
  *cookie = nextCookie_++;
  advises_.emplace(*cookie, Advise{startTime, periodTime, 0, semaphore});
  wake_.notify_all();
  return S_OK;
}

HRESULT SystemClock::Unadvise(DWORD_PTR cookie) {
  std::lock_guard lock(mutex_);
  return advises_.erase(cookie) ? S_OK : S_FALSE;
}

void SystemClock::FireDueLocked(REFERENCE_TIME now) {
  for (auto it = advises_.begin(); it != advises_.end();) {
    Advise& advise = it->second;
    if (advise.due > now) {
      ++it;
    } else if (advise.period == 0) {
      reinterpret_cast<CAMEvent*>(advise.event)->Set();
      it = advises_.erase(it);
    } else {
      reinterpret_cast<ClockSemaphore*>(advise.semaphore)->Release();
      const REFERENCE_TIME missed = (now - advise.due) / advise.period;
      advise.due += (missed + 1) * advise.period;
      ++it;
    }
  }
}

void SystemClock::Serve() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    const REFERENCE_TIME now = SystemClockNow();
    FireDueLocked(now);
    REFERENCE_TIME next = std::numeric_limits<REFERENCE_TIME>::max();
    for (const auto& [cookie, advise] : advises_) next = std::min(next, advise.due);
    if (next == std::numeric_limits<REFERENCE_TIME>::max()) {
      wake_.wait(lock);
    } else {
      wake_.wait_for(lock, std::chrono::microseconds((next - now) / kUnitsPerMicrosecond + 1));
    }
  }
}
