#include "TestSink.h"

#include <chrono>

namespace vendor::testing {

DEFINE_GUID(CLSID_TestSink, 0x5E1B7C1A, 0x0D3E, 0x4E55, 0x9A, 0x3B, 0x6C, 0x1D, 0x2E, 0x3F, 0x40,
            0x51);

namespace {
HRESULT g_ignored = S_OK;
}

TestSink::TestSink(const GUID& majorType, Keep keep)
    : CBaseRenderer(CLSID_TestSink, "Test sink", nullptr, &g_ignored),
      majorType_(majorType),
      keep_(keep) {}

HRESULT TestSink::CheckMediaType(const CMediaType* pmt) {
  if (*pmt->Type() != majorType_) return E_FAIL;
  return subtype_ == GUID_NULL || *pmt->Subtype() == subtype_ ? S_OK : E_FAIL;
}

HRESULT TestSink::DoRenderSample(IMediaSample* pSample) {
  ReceivedSample sample;
  pSample->GetTime(&sample.start, &sample.stop);
  sample.discontinuity = pSample->IsDiscontinuity() == S_OK;
  BYTE* data = nullptr;
  pSample->GetPointer(&data);
  if (keep_ == Keep::Everything) sample.bytes.assign(data, data + pSample->GetActualDataLength());
  std::lock_guard guard(lock_);
  samples_.push_back(std::move(sample));
  return S_OK;
}

HRESULT TestSink::EndOfStream() {
  const HRESULT hr = CBaseRenderer::EndOfStream();
  std::lock_guard guard(lock_);
  ended_ = true;
  changed_.notify_all();
  return hr;
}

HRESULT TestSink::BeginFlush() {
  {
    std::lock_guard guard(lock_);
    samples_.clear();
    ended_ = false;
  }
  return CBaseRenderer::BeginFlush();
}

bool TestSink::WaitForEnd(int seconds) {
  std::unique_lock guard(lock_);
  return changed_.wait_for(guard, std::chrono::seconds(seconds), [&] { return ended_; });
}

std::vector<ReceivedSample> TestSink::Samples() {
  std::lock_guard guard(lock_);
  return samples_;
}

}  // namespace vendor::testing
