// One output sample held by the parser: obtained from its output, released on every path
// (including a fault unwinding through the delivery code).
#pragma once

#include "SampleOutput.h"

namespace splitter {

class SampleLease {
 public:
  explicit SampleLease(SampleOutput& output) : output_(output) {}
  ~SampleLease() { Release(); }
  SampleLease(const SampleLease&) = delete;
  SampleLease& operator=(const SampleLease&) = delete;

  [[nodiscard]] HRESULT Obtain() {
    const HRESULT hr = output_.GetDeliveryBuffer(sample_);
    held_ = SUCCEEDED(hr);
    return hr;
  }
  [[nodiscard]] HRESULT Map() { return output_.GetPointer(sample_); }

  uint8_t* Data() const { return sample_.data; }
  size_t Capacity() const { return sample_.capacity; }

  // Marks the sample as every splitter sample is marked (sync point, neither discontinuity
  // nor preroll), sets its length and times, and delivers it. The lease keeps the sample.
  [[nodiscard]] HRESULT Deliver(size_t length, REFERENCE_TIME start, REFERENCE_TIME stop) {
    sample_.syncPoint = true;
    sample_.discontinuity = false;
    sample_.preroll = false;
    sample_.length = length;
    sample_.start = start;
    sample_.stop = stop;
    return output_.Deliver(sample_);
  }

  void Release() {
    if (!held_) return;
    held_ = false;
    output_.Release(sample_);
  }

 private:
  SampleOutput& output_;
  OutputSample sample_;
  bool held_ = false;
};

}  // namespace splitter
