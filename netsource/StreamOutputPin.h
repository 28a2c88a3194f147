// StreamOutputPin: the network source's one output pin, "Stream out". Its streaming thread
// copies the session's queued nodes into samples, one node per sample, without time stamps;
// it sleeps while nothing is queued and wakes when data arrives or a state change comes.
//
// Locks: m_cSharedState (the pin lock) serialises session control, fills and seeking; it is
// also the seeking object's lock. Order: filter lock, then pin lock, then the queue's lock.
// The streaming thread waits for data without any of them.
#pragma once

#include <atomic>
#include <memory>

#include "Seeking.h"
#include "Source.h"
#include "SessionHolder.h"

namespace netsource {

class NetSourceFilter;
class StreamSeeking;

class StreamOutputPin final : public CSourceStream, public SessionPin {
 public:
  StreamOutputPin(HRESULT* phr, NetSourceFilter* filter);
  ~StreamOutputPin() override;

  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  HRESULT CheckMediaType(const CMediaType* pmt) override;
  HRESULT GetMediaType(int position, CMediaType* pmt) override;
  HRESULT DecideBufferSize(IMemAllocator* alloc, ALLOCATOR_PROPERTIES* request) override;
  // The session's Run, then the base pin's.
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT Inactive() override;

  // SessionPin.
  LONG BufferLimit() const override { return bufferLimit_; }
  HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;

  // Filter-side controls, each under the pin lock.
  HRESULT BindSession(std::unique_ptr<StreamSession> session);
  bool HasSession();
  HRESULT SessionPause();
  HRESULT SessionStop();
  HRESULT SessionHeader(uint8_t* destination);
  void SetRecorded(int recorded) { recorded_ = recorded; }
  int Recorded() const { return recorded_; }
  void SetBufferLimit(LONG limit) { bufferLimit_ = limit; }

  // Seeking hooks (the seeking object calls them with the pin lock held).
  HRESULT ChangeStart();
  HRESULT SeekingDuration(LONGLONG* duration);

 protected:
  HRESULT FillBuffer(IMediaSample* sample) override;
  HRESULT OnThreadStartPlay() override;
  void WaitForData() override;

 private:
  NetSourceFilter* const source_;
  CCritSec m_cSharedState;  // the pin lock
  SessionHolder holder_;    // guarded by m_cSharedState (bound once, before streaming)
  std::unique_ptr<StreamSeeking> seeking_;
  std::atomic<int> recorded_{0};
  std::atomic<LONG> bufferLimit_{kDefaultNodeCount};
  // Set while a state change waits for the streaming thread to see its command, so the
  // thread polls instead of sleeping for data.
  std::atomic<bool> commandComing_{false};
};

// IMediaSeeking of the pin: recorded streams seek (the session repositions), live streams
// report 0x28 and refuse their duration.
class StreamSeeking final : public CSourceSeeking {
 public:
  StreamSeeking(StreamOutputPin* pin, CCritSec* lock);

  HRESULT GetDuration(LONGLONG* duration) override;
  // Used by the pin, under the pin lock.
  void SetCapabilities(DWORD capabilities) { m_dwSeekingCaps = capabilities; }
  void SetStart(REFERENCE_TIME start) { m_rtStart = start; }
  void SetLength(REFERENCE_TIME duration) {
    m_rtDuration = duration;
    m_rtStop = duration;
  }
  REFERENCE_TIME Stop() const { return m_rtStop; }
  double Rate() const { return m_dRateSeeking; }

 protected:
  HRESULT ChangeStart() override { return pin_->ChangeStart(); }
  HRESULT ChangeStop() override;
  HRESULT ChangeRate() override;

 private:
  StreamOutputPin* const pin_;
};

}  // namespace netsource
