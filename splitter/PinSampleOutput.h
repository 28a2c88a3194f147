// The parser's view of one output pin: samples from the pin's allocator, delivered to the
// connected input pin. Until a pin is attached no sample can be had.
#pragma once

#include <atomic>

#include "Filter.h"
#include "SampleOutput.h"

namespace splitter {

class PinSampleOutput : public SampleOutput {
 public:
  // Called once the filter has created its pins, before any connection.
  void Attach(CBaseOutputPin* pin) { pin_ = pin; }

  HRESULT GetDeliveryBuffer(OutputSample& sample) override;
  HRESULT GetPointer(OutputSample& sample) override;
  HRESULT Deliver(OutputSample& sample) override;
  void Release(OutputSample& sample) override;

 private:
  static IMediaSample* MediaSample(const OutputSample& sample) {
    return static_cast<IMediaSample*>(sample.handle);
  }

  std::atomic<CBaseOutputPin*> pin_{nullptr};  // set on the application's thread, read streaming
};

}  // namespace splitter
