// A SampleOutput for tests: hands out buffers of a chosen capacity and keeps a copy of every
// delivered sample. Failures can be injected per call to exercise the parser's error paths.
#pragma once

#include <functional>
#include <vector>

#include "SampleOutput.h"

namespace splitter::testing {

struct DeliveredSample {
  std::vector<uint8_t> bytes;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  bool syncPoint = false;
  bool discontinuity = false;
  bool preroll = false;

  bool operator==(const DeliveredSample&) const = default;
};

class CollectingOutput : public SampleOutput {
 public:
  explicit CollectingOutput(size_t capacity = 512'000) : capacity_(capacity) {}

  HRESULT GetDeliveryBuffer(OutputSample& sample) override;
  HRESULT GetPointer(OutputSample& sample) override;
  HRESULT Deliver(OutputSample& sample) override;
  void Release(OutputSample& sample) override;

  std::vector<DeliveredSample> delivered;
  int outstanding = 0;  // samples obtained and not yet released

  // Injected behaviour: the status of the next calls (S_OK: behave normally), or a hook
  // run inside Deliver (it may throw or block).
  HRESULT getBufferStatus = S_OK;
  HRESULT deliverStatus = S_OK;
  std::function<void()> onDeliver;

 private:
  size_t capacity_;
};

}  // namespace splitter::testing
