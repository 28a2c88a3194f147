// CMemAllocator and CMediaSample: properties, commit rules, the blocking GetBuffer, and the
// sample's own properties round-tripping.
#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <thread>

#include "Allocator.h"
#include "ComPtr.h"
#include "MediaType.h"

namespace {

using namespace std::chrono_literals;

ComPtr<IMemAllocator> NewAllocator() {
  ComPtr<IMemAllocator> allocator;
  HRESULT hr = S_OK;
  CMemAllocator::CreateInstance(nullptr, &hr)->NonDelegatingQueryInterface(
      IID_IMemAllocator, allocator.ReleaseAndGetVoidAddress());
  return allocator;
}

HRESULT Configure(IMemAllocator* allocator, LONG buffers, LONG size, LONG align = 1,
                  LONG prefix = 0, ALLOCATOR_PROPERTIES* actual = nullptr) {
  ALLOCATOR_PROPERTIES request{buffers, size, align, prefix};
  ALLOCATOR_PROPERTIES granted{};
  const HRESULT hr = allocator->SetProperties(&request, &granted);
  if (actual) *actual = granted;
  return hr;
}

class AllocatorTest : public ::testing::Test {
 protected:
  void SetUp() override { m_objectsBefore = CBaseObject::ObjectsActive(); }
  void TearDown() override { EXPECT_EQ(CBaseObject::ObjectsActive(), m_objectsBefore); }

 private:
  LONG m_objectsBefore = 0;
};

TEST_F(AllocatorTest, SamplePropertiesRoundTripAndAreClearedOnReturn) {
  ComPtr<IMemAllocator> allocator = NewAllocator();
  ASSERT_EQ(Configure(allocator, 1, 100), S_OK);
  ASSERT_EQ(allocator->Commit(), S_OK);
  IMediaSample* sample = nullptr;
  ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);

  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  EXPECT_EQ(sample->GetTime(&start, &stop), VFW_E_SAMPLE_TIME_NOT_SET);
  REFERENCE_TIME setStart = 123;
  REFERENCE_TIME setStop = 456;
  sample->SetTime(&setStart, &setStop);
  EXPECT_EQ(sample->GetTime(&start, &stop), S_OK);
  EXPECT_EQ(start, 123);
  EXPECT_EQ(stop, 456);
  sample->SetTime(&setStart, nullptr);
  EXPECT_EQ(sample->GetTime(&start, &stop), VFW_S_NO_STOP_TIME);
  EXPECT_EQ(stop, 124);

  LONGLONG mediaStart = 0;
  LONGLONG mediaStop = 0;
  EXPECT_EQ(sample->GetMediaTime(&mediaStart, &mediaStop), VFW_E_MEDIA_TIME_NOT_SET);
  LONGLONG frames[2] = {10, 11};
  sample->SetMediaTime(&frames[0], &frames[1]);
  EXPECT_EQ(sample->GetMediaTime(&mediaStart, &mediaStop), S_OK);
  EXPECT_EQ(mediaStart, 10);
  EXPECT_EQ(mediaStop, 11);

  EXPECT_EQ(sample->IsSyncPoint(), S_FALSE);
  sample->SetSyncPoint(TRUE);
  sample->SetPreroll(TRUE);
  sample->SetDiscontinuity(TRUE);
  EXPECT_EQ(sample->IsSyncPoint(), S_OK);
  EXPECT_EQ(sample->IsPreroll(), S_OK);
  EXPECT_EQ(sample->IsDiscontinuity(), S_OK);
  sample->SetPreroll(FALSE);
  EXPECT_EQ(sample->IsPreroll(), S_FALSE);
  EXPECT_EQ(sample->IsSyncPoint(), S_OK) << "flags are independent";

  EXPECT_EQ(sample->GetSize(), 100);
  EXPECT_EQ(sample->SetActualDataLength(101), VFW_E_BUFFER_OVERFLOW);
  EXPECT_EQ(sample->SetActualDataLength(-1), VFW_E_BUFFER_OVERFLOW);
  EXPECT_EQ(sample->SetActualDataLength(42), S_OK);
  EXPECT_EQ(sample->GetActualDataLength(), 42);

  AM_MEDIA_TYPE* type = nullptr;
  EXPECT_EQ(sample->GetMediaType(&type), S_FALSE);
  EXPECT_EQ(type, nullptr);
  CMediaType audio(MEDIATYPE_Audio);
  sample->SetMediaType(&audio);
  ASSERT_EQ(sample->GetMediaType(&type), S_OK);
  EXPECT_EQ(type->majortype, MEDIATYPE_Audio);
  DeleteMediaType(type);

  sample->Release();
  ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
  EXPECT_EQ(sample->GetTime(&start, &stop), VFW_E_SAMPLE_TIME_NOT_SET);
  EXPECT_EQ(sample->IsSyncPoint(), S_FALSE);
  EXPECT_EQ(sample->IsDiscontinuity(), S_FALSE);
  EXPECT_EQ(sample->GetMediaType(&type), S_FALSE);
  EXPECT_EQ(sample->GetActualDataLength(), 100);
  sample->Release();
  allocator->Decommit();
}

TEST_F(AllocatorTest, PropertiesAreCheckedAndBuffersAligned) {
  ComPtr<IMemAllocator> allocator = NewAllocator();
  EXPECT_EQ(allocator->Commit(), VFW_E_SIZENOTSET);
  EXPECT_EQ(Configure(allocator, 2, 10, 0), VFW_E_BADALIGN);
  EXPECT_EQ(Configure(allocator, 2, 10, 3), VFW_E_BADALIGN);

  ALLOCATOR_PROPERTIES actual{};
  ASSERT_EQ(Configure(allocator, 3, 10, 16, 4, &actual), S_OK);
  EXPECT_EQ(actual.cBuffers, 3);
  EXPECT_EQ(actual.cbBuffer, 12) << "prefix + buffer rounded up to the alignment";
  EXPECT_EQ(actual.cbPrefix, 4);

  IMediaSample* sample = nullptr;
  EXPECT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
  ASSERT_EQ(allocator->Commit(), S_OK);
  EXPECT_EQ(Configure(allocator, 3, 10), VFW_E_ALREADY_COMMITTED);
  std::vector<IMediaSample*> samples;
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(data - 4) % 16, 0u) << "buffer start after prefix";
    samples.push_back(sample);
  }
  EXPECT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
  allocator->Decommit();
  EXPECT_EQ(Configure(allocator, 3, 10), VFW_E_BUFFERS_OUTSTANDING);
  for (IMediaSample* s : samples) s->Release();
  EXPECT_EQ(Configure(allocator, 3, 10), S_OK);
}

TEST_F(AllocatorTest, GetBufferWaitsForAReturnedSampleOrADecommit) {
  ComPtr<IMemAllocator> allocator = NewAllocator();
  ASSERT_EQ(Configure(allocator, 1, 8), S_OK);
  ASSERT_EQ(allocator->Commit(), S_OK);
  IMediaSample* held = nullptr;
  ASSERT_EQ(allocator->GetBuffer(&held, nullptr, nullptr, 0), S_OK);

  auto waiter = std::async(std::launch::async, [&] {
    IMediaSample* next = nullptr;
    const HRESULT hr = allocator->GetBuffer(&next, nullptr, nullptr, 0);
    if (next) next->Release();
    return hr;
  });
  EXPECT_EQ(waiter.wait_for(30ms), std::future_status::timeout) << "no buffer is free";
  held->Release();
  ASSERT_EQ(waiter.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(waiter.get(), S_OK);

  ASSERT_EQ(allocator->GetBuffer(&held, nullptr, nullptr, 0), S_OK);
  auto blocked = std::async(std::launch::async, [&] {
    IMediaSample* next = nullptr;
    return allocator->GetBuffer(&next, nullptr, nullptr, 0);
  });
  EXPECT_EQ(blocked.wait_for(30ms), std::future_status::timeout);
  allocator->Decommit();
  ASSERT_EQ(blocked.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(blocked.get(), VFW_E_NOT_COMMITTED);
  held->Release();
}

TEST_F(AllocatorTest, AnOutstandingSampleKeepsItsAllocatorAndBuffer) {
  ComPtr<IMemAllocator> allocator = NewAllocator();
  ASSERT_EQ(Configure(allocator, 1, 8), S_OK);
  ASSERT_EQ(allocator->Commit(), S_OK);
  IMediaSample* sample = nullptr;
  ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
  BYTE* first = nullptr;
  sample->GetPointer(&first);

  // Decommit and commit again while the sample is out: the buffers are kept and reused.
  allocator->Decommit();
  ASSERT_EQ(allocator->Commit(), S_OK);
  sample->Release();
  ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
  BYTE* again = nullptr;
  sample->GetPointer(&again);
  EXPECT_EQ(again, first);

  allocator->Decommit();
  allocator.Reset();  // the sample still holds the allocator
  std::memset(again, 0xAB, 8);
  sample->Release();  // last reference: buffers and allocator go (checked by TearDown)
}

}  // namespace
