// TestSink: a renderer that takes every sample of one major type at once (no clock) and
// keeps what arrived, for tests that connect filters pin to pin without a graph.
#pragma once

#include <condition_variable>
#include <mutex>
#include <vector>

#include "Renderer.h"

namespace vendor::testing {

struct ReceivedSample {
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  bool discontinuity = false;
  std::vector<uint8_t> bytes;
};

// What a sink keeps of each sample: everything, or the times alone (long runs).
enum class Keep { Everything, TimesOnly };

class TestSink final : public CBaseRenderer {
 public:
  explicit TestSink(const GUID& majorType, Keep keep = Keep::Everything);

  HRESULT CheckMediaType(const CMediaType* pmt) override;
  // Takes only this subtype from now on (before connecting).
  void AcceptOnly(const GUID& subtype) { subtype_ = subtype; }
  HRESULT DoRenderSample(IMediaSample* pSample) override;
  HRESULT EndOfStream() override;
  // A flush forgets what arrived before it (it was played before a seek).
  HRESULT BeginFlush() override;

  // Waits for the end of the stream; false when it has not come within the time.
  bool WaitForEnd(int seconds = 30);
  std::vector<ReceivedSample> Samples();
  // The start of the last segment announced to the input pin.
  REFERENCE_TIME SegmentStart() { return GetPin(0) ? m_pInputPin->CurrentStartTime() : 0; }
  const CMediaType& ConnectionType() { return m_pInputPin->CurrentMediaType(); }

 private:
  const GUID majorType_;
  const Keep keep_;
  GUID subtype_ = GUID_NULL;  // any, while null
  std::mutex lock_;  // guards samples_ and ended_
  std::condition_variable changed_;
  std::vector<ReceivedSample> samples_;
  bool ended_ = false;
};

}  // namespace vendor::testing
