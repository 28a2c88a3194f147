// Source seeking on an output pin (a pin that is both a source stream and a seeking object) and
// the renderer's pass-through that carries seeking calls upstream.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "TestFilters.h"

namespace dshow_test {
namespace {

constexpr REFERENCE_TIME kDuration = 100 * kFrameTime;

// The usual shape of a seekable source pin: the stream and CSourceSeeking, the latter
// aggregated into the pin so that both answer for one object.
class SeekingStream : public NumberStream, public CSourceSeeking {
 public:
  SeekingStream(CSource* filter, HRESULT* phr)
      : NumberStream(filter, phr, {}),
        CSourceSeeking("SeekingStream", static_cast<IPin*>(this), phr, &m_seekLock) {
    m_rtDuration = kDuration;
    m_rtStop = kDuration;
  }

  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IMediaSeeking) return CSourceSeeking::NonDelegatingQueryInterface(riid, ppv);
    return NumberStream::NonDelegatingQueryInterface(riid, ppv);
  }

  REFERENCE_TIME Start() {
    CAutoLock lock(&m_seekLock);
    return m_rtStart;
  }

  int starts = 0;
  int stops = 0;
  int rates = 0;
  bool hooksHeldTheLock = true;

 protected:
  HRESULT ChangeStart() override { return Count(starts); }
  HRESULT ChangeStop() override { return Count(stops); }
  HRESULT ChangeRate() override { return Count(rates); }

 private:
  HRESULT Count(int& counter) {
    ++counter;
    hooksHeldTheLock = hooksHeldTheLock && m_seekLock.IsOwnedByCurrentThread();
    return S_OK;
  }
  CCritSec m_seekLock;
};

class SeekingSource : public CSource {
 public:
  SeekingSource() : CSource("SeekingSource", nullptr, CLSID_TestSource) {
    HRESULT hr = S_OK;
    stream = new SeekingStream(this, &hr);
  }
  SeekingStream* stream;
};

TEST(SeekingTest, SourceSeekingStoresPositionsAndCallsItsHooksUnderTheLock) {
  auto* source = new SeekingSource;
  ComPtr<IBaseFilter> held = Hold(source);
  ComPtr<IMediaSeeking> seeking;
  ASSERT_EQ(static_cast<IPin*>(source->stream)->QueryInterface(IID_IMediaSeeking,
                                                               seeking.ReleaseAndGetVoidAddress()),
            S_OK);
  LONGLONG start = 100;
  EXPECT_EQ(seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
  start = 50;
  EXPECT_EQ(seeking->SetPositions(&start, AM_SEEKING_RelativePositioning, nullptr, 0), S_OK);
  LONGLONG stop = 1000;
  EXPECT_EQ(seeking->SetPositions(nullptr, 0, &stop, AM_SEEKING_IncrementalPositioning), S_OK);
  LONGLONG current = 0;
  EXPECT_EQ(seeking->GetPositions(&current, &stop), S_OK);
  EXPECT_EQ(current, 150);
  EXPECT_EQ(stop, 1150);
  stop = -150;
  EXPECT_EQ(seeking->SetPositions(nullptr, 0, &stop, AM_SEEKING_RelativePositioning), S_OK);
  EXPECT_EQ(seeking->GetStopPosition(&stop), S_OK);
  EXPECT_EQ(stop, 1000);
  EXPECT_EQ(seeking->SetPositions(&start, AM_SEEKING_IncrementalPositioning, nullptr, 0),
            E_INVALIDARG);
  EXPECT_EQ(source->stream->starts, 2);
  EXPECT_EQ(source->stream->stops, 2);
  EXPECT_EQ(seeking->SetRate(0.0), E_INVALIDARG);
  EXPECT_EQ(seeking->SetRate(2.0), S_OK);
  EXPECT_EQ(source->stream->rates, 1);
  EXPECT_TRUE(source->stream->hooksHeldTheLock);

  DWORD caps = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetCurrentPos;
  EXPECT_EQ(seeking->CheckCapabilities(&caps), S_FALSE);
  EXPECT_EQ(caps, AM_SEEKING_CanSeekAbsolute);
  caps = AM_SEEKING_CanGetCurrentPos;
  EXPECT_EQ(seeking->CheckCapabilities(&caps), E_FAIL);
  EXPECT_EQ(seeking->IsFormatSupported(&TIME_FORMAT_FRAME), S_FALSE);
  EXPECT_EQ(seeking->SetTimeFormat(&TIME_FORMAT_FRAME), E_INVALIDARG);
  LONGLONG converted = 0;
  EXPECT_EQ(seeking->ConvertTimeFormat(&converted, nullptr, 77, &TIME_FORMAT_MEDIA_TIME), S_OK);
  EXPECT_EQ(converted, 77);

  // One object: the seeking interface leads back to the pin and holds the filter.
  ComPtr<IPin> pin;
  EXPECT_EQ(seeking->QueryInterface(IID_IPin, pin.ReleaseAndGetVoidAddress()), S_OK);
  EXPECT_EQ(pin.Get(), static_cast<IPin*>(source->stream));
}

TEST(SeekingTest, RendererPassesSeekingUpstreamAndKnowsItsPosition) {
  const LONG objectsBefore = CBaseObject::ObjectsActive();
  {
    auto* source = new SeekingSource;
    auto* sink = new CollectingSink;
    ComPtr<IBaseFilter> sourceRef = Hold(source);
    ComPtr<IBaseFilter> sinkRef = Hold(sink);
    ComPtr<IMediaSeeking> seeking;
    ASSERT_EQ(sinkRef->QueryInterface(IID_IMediaSeeking, seeking.ReleaseAndGetVoidAddress()), S_OK);
    LONGLONG duration = 0;
    EXPECT_EQ(seeking->GetDuration(&duration), E_NOTIMPL) << "not connected: nobody to ask";

    IPin* out = source->stream;
    ASSERT_EQ(out->Connect(sink->Input(), nullptr), S_OK);
    EXPECT_EQ(seeking->GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, kDuration);
    LONGLONG start = 4 * kFrameTime;
    EXPECT_EQ(seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    EXPECT_EQ(source->stream->Start(), 4 * kFrameTime);
    LONGLONG current = 0;
    EXPECT_EQ(seeking->GetCurrentPosition(&current), E_NOTIMPL) << "the source does not know";

    ASSERT_EQ(sink->Run(0), S_OK);
    ASSERT_EQ(source->Run(0), S_OK);
    ASSERT_TRUE(sink->WaitForCount(3));
    ASSERT_EQ(sink->Pause(), S_OK);  // nothing more is rendered while paused
    // A sample already inside DoRenderSample when the pause came is still rendered, so the
    // position may move once more: read it until it holds still.
    EXPECT_EQ(seeking->GetCurrentPosition(&current), S_OK);
    for (LONGLONG previous = -1; current != previous;) {
      previous = current;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      ASSERT_EQ(seeking->GetCurrentPosition(&current), S_OK);
    }
    ASSERT_TRUE(sink->WaitForStart(current));
    EXPECT_EQ(current, sink->Samples().back().start);

    ComPtr<IMediaPosition> position;
    ASSERT_EQ(sinkRef->QueryInterface(IID_IMediaPosition, position.ReleaseAndGetVoidAddress()),
              S_OK);
    REFTIME seconds = 0;
    EXPECT_EQ(position->get_CurrentPosition(&seconds), S_OK);
    EXPECT_DOUBLE_EQ(seconds, static_cast<double>(current) / 10000000.0);
    EXPECT_EQ(position->get_Duration(&seconds), E_NOTIMPL) << "the source has no IMediaPosition";

    ComPtr<IBaseFilter> back;
    EXPECT_EQ(seeking->QueryInterface(IID_IBaseFilter, back.ReleaseAndGetVoidAddress()), S_OK);
    EXPECT_EQ(back.Get(), sinkRef.Get()) << "the pass-through is part of the filter";

    MustReturn("stop", [&] {
      sink->Stop();
      source->Stop();
    });
    out->Disconnect();
    sink->Input()->Disconnect();
  }
  EXPECT_EQ(CBaseObject::ObjectsActive(), objectsBefore);
}

// A transform's output pin passes seeking to the filter upstream of its input, so a renderer
// behind the transform still reaches the source.
TEST(SeekingTest, TransformOutputPassesSeekingUpstream) {
  const LONG objectsBefore = CBaseObject::ObjectsActive();
  {
    auto* source = new SeekingSource;
    auto* transform = new AddingTransform({});
    ComPtr<IBaseFilter> sourceRef = Hold(source);
    ComPtr<IBaseFilter> transformRef = Hold(transform);
    ComPtr<IMediaSeeking> seeking;
    ASSERT_EQ(transform->Output()->QueryInterface(IID_IMediaSeeking,
                                                  seeking.ReleaseAndGetVoidAddress()),
              S_OK);
    LONGLONG duration = 0;
    EXPECT_EQ(seeking->GetDuration(&duration), E_NOTIMPL) << "input not connected";

    IPin* out = source->stream;
    ASSERT_EQ(out->Connect(transform->Input(), nullptr), S_OK);
    EXPECT_EQ(seeking->GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, kDuration);
    LONGLONG start = 7 * kFrameTime;
    EXPECT_EQ(seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    EXPECT_EQ(source->stream->Start(), start);

    ComPtr<IMediaPosition> position;
    EXPECT_EQ(transform->Output()->QueryInterface(IID_IMediaPosition,
                                                  position.ReleaseAndGetVoidAddress()),
              S_OK);
    ComPtr<IPin> back;
    EXPECT_EQ(seeking->QueryInterface(IID_IPin, back.ReleaseAndGetVoidAddress()), S_OK);
    EXPECT_EQ(back.Get(), static_cast<IPin*>(transform->Output())) << "part of the pin";
    out->Disconnect();
    transform->Input()->Disconnect();
  }
  EXPECT_EQ(CBaseObject::ObjectsActive(), objectsBefore);
}

}  // namespace
}  // namespace dshow_test
