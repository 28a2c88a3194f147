#include "ByteDelivery.h"

#include <algorithm>
#include <cstring>

HRESULT DeliverBytesAt(CBaseOutputPin& pin, int64_t position, const uint8_t* data, int length) {
  while (length > 0) {
    IMediaSample* sample = nullptr;
    HRESULT hr = pin.GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    const int chunk = std::min(length, static_cast<int>(sample->GetSize()));
    std::memcpy(buffer, data, chunk);
    sample->SetActualDataLength(chunk);
    REFERENCE_TIME start = position;
    REFERENCE_TIME stop = position + chunk;
    sample->SetTime(&start, &stop);
    hr = pin.Deliver(sample);
    sample->Release();
    if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;
    position += chunk;
    data += chunk;
    length -= chunk;
  }
  return S_OK;
}
