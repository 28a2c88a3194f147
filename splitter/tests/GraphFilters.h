// Filters wired by hand around the splitter in its tests: an upstream filter that offers the
// recorder stream type and pushes bytes on the caller's thread, and a sink that takes any type
// and records every sample. No graph manager is involved.
#pragma once

#include <mutex>
#include <span>
#include <vector>

#include "CollectingOutput.h"
#include "ComPtr.h"
#include "Filter.h"
#include "recorder/StreamFormat.h"

namespace splitter::testing {

DEFINE_GUID(CLSID_TestUpstream, 0x7E57A001, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x00, 0x01);
DEFINE_GUID(CLSID_TestSink, 0x7E57A001, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x02);

// The recorder stream type with `header` as its format block.
CMediaType RecorderStreamType(const recorder::FileHeader& header);

// What the upstream filter's seeking answers: fixed values, and failures where the splitter
// must turn them into success.
struct UpstreamSeekingAnswers {
  static constexpr LONGLONG kCurrent = 1;
  static constexpr LONGLONG kDuration = 1234;
  static constexpr LONGLONG kStop = 99;
};

class UpstreamFilter : public CBaseFilter {
 public:
  static constexpr LONG kSampleSize = 2048;  // as the network source cuts the stream

  explicit UpstreamFilter(const recorder::FileHeader& header);
  ~UpstreamFilter() override;
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override;

  // Delivers `bytes` in samples of at most kSampleSize; the last status.
  HRESULT Push(std::span<const uint8_t> bytes);

 private:
  class OutputPin;
  CCritSec m_lock;
  OutputPin* m_pin;
};

class RecordingSink : public CBaseFilter {
 public:
  RecordingSink();
  ~RecordingSink() override;
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override;

  std::vector<DeliveredSample> Samples();
  HRESULT receiveStatus = S_OK;  // what Receive answers after recording

 private:
  class InputPin;
  CCritSec m_lock;
  InputPin* m_pin;
  std::mutex m_samplesLock;
  std::vector<DeliveredSample> m_samples;  // guarded by m_samplesLock
};

// Holds a base-class filter by its IBaseFilter (the filters start with no reference).
template <typename T>
ComPtr<IBaseFilter> Hold(T* filter) {
  ComPtr<IBaseFilter> held;
  filter->NonDelegatingQueryInterface(IID_IBaseFilter, held.ReleaseAndGetVoidAddress());
  return held;
}

}  // namespace splitter::testing
