#include "CollectingOutput.h"

namespace splitter::testing {

HRESULT CollectingOutput::GetDeliveryBuffer(OutputSample& sample) {
  if (FAILED(getBufferStatus)) return getBufferStatus;
  auto* buffer = new std::vector<uint8_t>(capacity_, 0xEE);
  sample = OutputSample{};
  sample.handle = buffer;
  ++outstanding;
  return S_OK;
}

HRESULT CollectingOutput::GetPointer(OutputSample& sample) {
  auto* buffer = static_cast<std::vector<uint8_t>*>(sample.handle);
  sample.data = buffer->data();
  sample.capacity = buffer->size();
  return S_OK;
}

HRESULT CollectingOutput::Deliver(OutputSample& sample) {
  if (onDeliver) onDeliver();
  DeliveredSample copy;
  copy.bytes.assign(sample.data, sample.data + sample.length);
  copy.start = sample.start;
  copy.stop = sample.stop;
  copy.syncPoint = sample.syncPoint;
  copy.discontinuity = sample.discontinuity;
  copy.preroll = sample.preroll;
  delivered.push_back(std::move(copy));
  return deliverStatus;
}

void CollectingOutput::Release(OutputSample& sample) {
  delete static_cast<std::vector<uint8_t>*>(sample.handle);
  sample.handle = nullptr;
  --outstanding;
}

}  // namespace splitter::testing
