// The system reference clock (CLSID_SystemClock): a monotonic time in 100 ns units with
// one-shot and periodic advises served by one thread per clock.
//
// Advise handles: AdviseTime signals the CAMEvent whose address is its HEVENT; AdvisePeriodic
// releases the ClockSemaphore whose address is its HSEMAPHORE once per period. Both objects
// must outlive the advise (Unadvise before destroying them).
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "ComBase.h"
#include "Interfaces.h"

// A counting semaphore for periodic advises.
class ClockSemaphore {
 public:
  void Release(LONG count = 1);
  // False when `timeoutMs` passes before a count is available; takes one count otherwise.
  bool Wait(DWORD timeoutMs);

 private:
  std::mutex mutex_;
  std::condition_variable available_;
  LONG count_ = 0;  // guarded by mutex_
};

class SystemClock final : public CUnknown, public IReferenceClock {
 public:
  SystemClock();
  ~SystemClock() override;
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  HRESULT GetTime(REFERENCE_TIME* pTime) override;
  // Signals at baseTime + streamTime. E_INVALIDARG for a sum that is not positive or overflows.
  HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT hEvent,
                     DWORD_PTR* pdwAdviseCookie) override;
  HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                         HSEMAPHORE hSemaphore, DWORD_PTR* pdwAdviseCookie) override;
  // S_FALSE when the cookie is not (or no longer) advised.
  HRESULT Unadvise(DWORD_PTR dwAdviseCookie) override;

 private:
  struct Advise {
    REFERENCE_TIME due;
    REFERENCE_TIME period;  // 0 for a one-shot advise
    HEVENT event;           // one-shot
    HSEMAPHORE semaphore;   // periodic
  };
  void Serve();
  // Signals what is due at `now`; reschedules periodic advises.
  void FireDueLocked(REFERENCE_TIME now);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::map<DWORD_PTR, Advise> advises_;  // guarded by mutex_
  DWORD_PTR nextCookie_ = 1;             // guarded by mutex_
  bool quit_ = false;                    // guarded by mutex_
  std::thread thread_;  // started lazily with the first advise, under mutex_
};

// Now, on the clock every SystemClock reads (monotonic, 100 ns units).
REFERENCE_TIME SystemClockNow();
