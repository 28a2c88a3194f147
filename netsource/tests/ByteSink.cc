#include "ByteSink.h"

#include <algorithm>
#include <chrono>

#include "recorder/RecorderGuids.h"

namespace netsource::testing {

DEFINE_GUID(CLSID_NetSourceTestSink, 0x7E57A0F1, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00,
            0x00, 0x00, 0x01);

class ByteSink::InputPin final : public CBaseInputPin {
 public:
  InputPin(ByteSink* sink, CCritSec* lock, HRESULT* phr)
      : CBaseInputPin("Byte sink pin", sink, lock, phr, u"Input"), sink_(sink) {}
  HRESULT CheckMediaType(const CMediaType* pmt) override {
    return pmt && pmt->majortype == MEDIATYPE_RecorderStream ? S_OK : E_FAIL;
  }
  HRESULT Receive(IMediaSample* sample) override {
    const HRESULT hr = CBaseInputPin::Receive(sample);
    if (hr != S_OK) return hr;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    sink_->Received(data, static_cast<size_t>(sample->GetActualDataLength()));
    return S_OK;
  }
  HRESULT BeginFlush() override {
    const HRESULT hr = CBaseInputPin::BeginFlush();
    sink_->Flushed();
    return hr;
  }

 private:
  ByteSink* const sink_;
};

ByteSink::ByteSink() : CBaseFilter("Byte sink", nullptr, &lock_, CLSID_NetSourceTestSink) {
  HRESULT hr = S_OK;
  pin_ = new InputPin(this, &lock_, &hr);
}

ByteSink::~ByteSink() { delete pin_; }

CBasePin* ByteSink::GetPin(int n) { return n == 0 ? pin_ : nullptr; }
IPin* ByteSink::Input() { return pin_; }

void ByteSink::Expect(std::string header, std::string body) {
  headerSize_ = header.size();
  expected_ = std::move(header) + body;
}

void ByteSink::Compare(const uint8_t* data, size_t length) {
  const size_t loop = expected_.size() - headerSize_;
  for (size_t i = 0; i < length; ++i, ++position_) {
    const size_t at = position_ < headerSize_ || loop == 0
                          ? static_cast<size_t>(position_)
                          : headerSize_ + static_cast<size_t>((position_ - headerSize_) % loop);
    if (at >= expected_.size() || static_cast<uint8_t>(expected_[at]) != data[i]) ++mismatched_;
  }
}

uint64_t ByteSink::Mismatched() {
  std::lock_guard guard(dataLock_);
  return mismatched_;
}

std::optional<std::chrono::steady_clock::time_point> ByteSink::FirstSampleTime() {
  std::lock_guard guard(dataLock_);
  return first_;
}

void ByteSink::Received(const uint8_t* data, size_t length) {
  {
    std::lock_guard guard(dataLock_);
    if (!first_) first_ = std::chrono::steady_clock::now();
    if (!expected_.empty()) Compare(data, length);
    if (keepBytes_) bytes_.append(reinterpret_cast<const char*>(data), length);
    byteCount_ += length;
    ++samples_;
    largest_ = std::max(largest_, length);
  }
  arrived_.notify_all();
}

void ByteSink::Flushed() {
  std::lock_guard guard(dataLock_);
  bytes_.clear();
  byteCount_ = 0;
  ++flushes_;
}

std::string ByteSink::Bytes() {
  std::lock_guard guard(dataLock_);
  return bytes_;
}

uint64_t ByteSink::ByteCount() {
  std::lock_guard guard(dataLock_);
  return byteCount_;
}

long ByteSink::Samples() {
  std::lock_guard guard(dataLock_);
  return samples_;
}

long ByteSink::Flushes() {
  std::lock_guard guard(dataLock_);
  return flushes_;
}

size_t ByteSink::LargestSample() {
  std::lock_guard guard(dataLock_);
  return largest_;
}

bool ByteSink::WaitForBytes(uint64_t bytes, double seconds) {
  std::unique_lock guard(dataLock_);
  return arrived_.wait_for(guard, std::chrono::duration<double>(seconds),
                           [&] { return byteCount_ >= bytes; });
}

}  // namespace netsource::testing
