// What the group parser needs of one output (video or audio): empty samples from the
// output's allocator and a way to pass filled ones downstream. The filter implements it over
// its output pins (GetDeliveryBuffer, IMediaSample, Deliver); tests implement it over plain
// buffers, so the parser runs without a graph.
#pragma once

#include <cstddef>
#include <cstdint>

#include "HResult.h"
#include "WinTypes.h"

namespace splitter {

// One output sample as the parser fills it. The output owns the buffer behind `data`; the
// parser writes at most `capacity` bytes there and sets the other fields before delivery.
struct OutputSample {
  void* handle = nullptr;  // the output's own reference (its IMediaSample)
  uint8_t* data = nullptr;
  size_t capacity = 0;
  size_t length = 0;  // actual data length
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  bool syncPoint = false;
  bool discontinuity = false;
  bool preroll = false;
};

class SampleOutput {
 public:
  virtual ~SampleOutput() = default;

  // Obtains an empty sample (no times, no flags) and sets `handle`; fails when none can be
  // had, for example while the output is not connected.
  [[nodiscard]] virtual HRESULT GetDeliveryBuffer(OutputSample& sample) = 0;
  // Sets `data` and `capacity` of an obtained sample.
  [[nodiscard]] virtual HRESULT GetPointer(OutputSample& sample) = 0;
  // Applies length, times and flags and passes the sample downstream; negative fails. The
  // sample stays obtained: the parser releases it afterwards.
  [[nodiscard]] virtual HRESULT Deliver(OutputSample& sample) = 0;
  // Returns an obtained sample; called exactly once for every successful GetDeliveryBuffer.
  virtual void Release(OutputSample& sample) = 0;
};

}  // namespace splitter
