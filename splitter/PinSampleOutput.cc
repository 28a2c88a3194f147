#include "PinSampleOutput.h"

#include "DShowErrors.h"

namespace splitter {

HRESULT PinSampleOutput::GetDeliveryBuffer(OutputSample& sample) {
  CBaseOutputPin* pin = pin_;
  if (!pin) return VFW_E_NOT_CONNECTED;
  IMediaSample* mediaSample = nullptr;
  const HRESULT hr = pin->GetDeliveryBuffer(&mediaSample, nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  sample = OutputSample{};
  sample.handle = mediaSample;
  return S_OK;
}

HRESULT PinSampleOutput::GetPointer(OutputSample& sample) {
  IMediaSample* mediaSample = MediaSample(sample);
  BYTE* data = nullptr;
  const HRESULT hr = mediaSample->GetPointer(&data);
  if (FAILED(hr)) return hr;
  sample.data = data;
  sample.capacity = static_cast<size_t>(std::max<LONG>(mediaSample->GetSize(), 0));
  return S_OK;
}

HRESULT PinSampleOutput::Deliver(OutputSample& sample) {
  IMediaSample* mediaSample = MediaSample(sample);
  mediaSample->SetActualDataLength(static_cast<LONG>(sample.length));
  mediaSample->SetTime(&sample.start, &sample.stop);
  mediaSample->SetSyncPoint(sample.syncPoint ? TRUE : FALSE);
  mediaSample->SetDiscontinuity(sample.discontinuity ? TRUE : FALSE);
  mediaSample->SetPreroll(sample.preroll ? TRUE : FALSE);
  return pin_.load()->Deliver(mediaSample);
}

void PinSampleOutput::Release(OutputSample& sample) {
  MediaSample(sample)->Release();
  sample.handle = nullptr;
}

}  // namespace splitter
