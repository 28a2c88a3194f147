// Source → transform → sink wired by hand: state changes, streaming, flushing, end of stream and
// the connection protocol of the base classes.
#include <gtest/gtest.h>

#include <thread>

#include "Allocator.h"
#include "TestFilters.h"

namespace dshow_test {
namespace {

constexpr DWORD kStateWaitMs = 5000;

// Three filters in a test graph. State changes go downstream first, as a graph manager does.
class Pipeline {
 public:
  explicit Pipeline(const SourceOptions& sourceOptions = {},
                    const TransformOptions& transformOptions = {}, bool sinkRefusesAll = false)
      : source(new NumberSource(sourceOptions)),
        transform(new AddingTransform(transformOptions)),
        sink(new CollectingSink(sinkRefusesAll)),
        m_refs{Hold(source), Hold(transform), Hold(sink)} {
    for (auto& filter : m_refs) filter->JoinFilterGraph(&graph, u"filter");
  }

  ~Pipeline() {
    SetState(State_Stopped);
    for (IPin* pin : {Out(), In(transform), Out(transform), In()}) pin->Disconnect();
    for (auto& filter : m_refs) filter->JoinFilterGraph(nullptr, nullptr);
  }

  IPin* Out() { return source->Stream(); }
  IPin* In(AddingTransform* t) { return t->Input(); }
  IPin* Out(AddingTransform* t) { return t->Output(); }
  IPin* In() { return sink->Input(); }

  HRESULT ConnectAll() {
    const HRESULT hr = Out()->Connect(In(transform), nullptr);
    if (FAILED(hr)) return hr;
    return Out(transform)->Connect(In(), nullptr);
  }

  void SetState(FILTER_STATE state) {
    for (auto it = m_refs.rbegin(); it != m_refs.rend(); ++it) {
      IBaseFilter* filter = *it;
      MustReturn("state change", [&] {
        const HRESULT hr = state == State_Stopped  ? filter->Stop()
                           : state == State_Paused ? filter->Pause()
                                                   : filter->Run(0);
        EXPECT_EQ(hr, S_OK);
      });
    }
  }

  TestGraph graph;
  NumberSource* source;
  AddingTransform* transform;
  CollectingSink* sink;

 private:
  std::vector<ComPtr<IBaseFilter>> m_refs;  // upstream first
};

class PipelineTest : public ::testing::Test {
 protected:
  void SetUp() override { m_objectsBefore = CBaseObject::ObjectsActive(); }
  // Every filter, pin, allocator and enumerator of a test is gone at its end.
  void TearDown() override { EXPECT_EQ(CBaseObject::ObjectsActive(), m_objectsBefore); }

 private:
  LONG m_objectsBefore = 0;
};

TEST_F(PipelineTest, NumberedSamplesKeepOrderTimesAndFlagsAndEndOfStreamCompletes) {
  constexpr int kCount = 20;
  Pipeline p({.sampleCount = kCount});
  ASSERT_EQ(p.ConnectAll(), S_OK);
  p.SetState(State_Running);

  TestGraph::Event complete{};
  ASSERT_TRUE(p.graph.WaitFor(EC_COMPLETE, &complete));
  EXPECT_EQ(complete.param1, S_OK);
  EXPECT_EQ(complete.param2, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(p.sink)));

  const std::vector<Received> samples = p.sink->Samples();
  ASSERT_EQ(samples.size(), static_cast<size_t>(kCount));
  for (int n = 0; n < kCount; ++n) {
    const Received& r = samples[n];
    EXPECT_EQ(r.number, n + kTransformOffset);
    EXPECT_EQ(r.length, 4);
    EXPECT_EQ(r.start, n * kFrameTime);
    EXPECT_EQ(r.stop, (n + 1) * kFrameTime);
    EXPECT_EQ(r.sync, n % kSyncEvery == 0) << n;
    EXPECT_EQ(r.discontinuity, n == 0) << n;
  }
  EXPECT_EQ(p.graph.Count(EC_COMPLETE), 1);
}

TEST_F(PipelineTest, StateChangesBothWaysStartAndEndTheStreamingThread) {
  Pipeline p;
  ASSERT_EQ(p.ConnectAll(), S_OK);
  for (int cycle = 0; cycle < 3; ++cycle) {
    p.SetState(State_Paused);
    EXPECT_TRUE(p.source->Stream()->ThreadExists());
    FILTER_STATE state;
    EXPECT_EQ(p.sink->GetState(kStateWaitMs, &state), S_OK);
    EXPECT_EQ(state, State_Paused);
    const size_t before = p.sink->Samples().size();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(p.sink->Samples().size(), before) << "a paused renderer renders nothing";

    p.SetState(State_Running);
    EXPECT_TRUE(p.sink->WaitForCount(before + 5));
    p.SetState(State_Paused);
    p.SetState(State_Running);
    EXPECT_TRUE(p.sink->WaitForCount(before + 10));

    p.SetState(State_Stopped);
    EXPECT_FALSE(p.source->Stream()->ThreadExists());
    EXPECT_EQ(p.source->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
  }
  // Numbers go on across runs in order, never repeated (a sample in flight at Stop is dropped).
  const std::vector<Received> samples = p.sink->Samples();
  for (size_t i = 1; i < samples.size(); ++i) {
    EXPECT_GT(samples[i].number, samples[i - 1].number);
  }
}

TEST_F(PipelineTest, PausedRendererIsIntermediateUntilItHoldsASample) {
  Pipeline p;
  ASSERT_EQ(p.ConnectAll(), S_OK);
  ASSERT_EQ(p.sink->Pause(), S_OK);
  ASSERT_EQ(p.transform->Pause(), S_OK);
  FILTER_STATE state;
  EXPECT_EQ(p.sink->GetState(0, &state), VFW_S_STATE_INTERMEDIATE);
  EXPECT_EQ(state, State_Paused);

  ASSERT_EQ(p.source->Pause(), S_OK);
  EXPECT_EQ(p.sink->GetState(kStateWaitMs, &state), S_OK);
  EXPECT_TRUE(p.sink->Samples().empty());
  p.SetState(State_Running);
  EXPECT_TRUE(p.sink->WaitForCount(1));
}

TEST_F(PipelineTest, StopWakesASourceBlockedOnAFullAllocator) {
  constexpr LONG kBuffers = 3;
  Pipeline p({.buffers = kBuffers});
  ASSERT_EQ(p.Out()->Connect(p.In(), nullptr), S_OK);
  p.sink->HoldSamples(true);
  ASSERT_EQ(p.sink->Run(0), S_OK);
  ASSERT_EQ(p.source->Run(0), S_OK);
  ASSERT_TRUE(p.sink->WaitForCount(kBuffers));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(p.source->Stream()->Filled(), kBuffers) << "the source waits for a free buffer";

  // The source is stopped first: only the decommit can wake its thread.
  MustReturn("stop of a source blocked in GetBuffer", [&] { EXPECT_EQ(p.source->Stop(), S_OK); });
  EXPECT_FALSE(p.source->Stream()->ThreadExists());
  p.sink->ReleaseHeld();
  EXPECT_EQ(p.sink->Stop(), S_OK);
}

TEST_F(PipelineTest, FlushReleasesTheHeldSampleAndRefusesSamplesUntilItEnds) {
  Pipeline p;
  ASSERT_EQ(p.ConnectAll(), S_OK);
  p.SetState(State_Paused);
  FILTER_STATE state;
  ASSERT_EQ(p.sink->GetState(kStateWaitMs, &state), S_OK);  // the source thread waits in Deliver

  MustReturn("begin flush", [&] { EXPECT_EQ(p.source->Stream()->DeliverBeginFlush(), S_OK); });
  auto* input = static_cast<CBaseInputPin*>(p.transform->Input());
  EXPECT_TRUE(input->IsFlushing());

  ComPtr<IMemAllocator> allocator;
  ASSERT_EQ(input->GetAllocator(allocator.ReleaseAndGetAddressOf()), S_OK);
  IMediaSample* sample = nullptr;
  ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, AM_GBF_NOWAIT), S_OK)
      << "the held sample went back to the allocator";
  EXPECT_EQ(input->Receive(sample), S_FALSE);
  sample->Release();

  EXPECT_EQ(p.source->Stream()->DeliverEndFlush(), S_OK);
  EXPECT_FALSE(input->IsFlushing());
  EXPECT_TRUE(p.sink->Samples().empty()) << "nothing flushed is rendered";
}

TEST_F(PipelineTest, EndOfStreamWhilePausedCompletesOncePerRun) {
  Pipeline p({.sampleCount = 0});
  ASSERT_EQ(p.ConnectAll(), S_OK);
  for (int run = 1; run <= 2; ++run) {
    p.SetState(State_Paused);
    FILTER_STATE state;
    EXPECT_EQ(p.sink->GetState(kStateWaitMs, &state), S_OK) << "end of stream completes a pause";
    EXPECT_EQ(p.graph.Count(EC_COMPLETE), run - 1);
    p.SetState(State_Running);
    EXPECT_EQ(p.graph.Count(EC_COMPLETE), run);
    p.SetState(State_Stopped);
  }
}

TEST_F(PipelineTest, FillBufferFailureEndsTheStreamWithErrorAbort) {
  Pipeline p({.failAt = 3});
  ASSERT_EQ(p.ConnectAll(), S_OK);
  p.SetState(State_Running);
  TestGraph::Event abort{};
  ASSERT_TRUE(p.graph.WaitFor(EC_ERRORABORT, &abort));
  EXPECT_EQ(abort.param1, E_FAIL);
  ASSERT_TRUE(p.graph.WaitFor(EC_COMPLETE));
  EXPECT_EQ(p.sink->Samples().size(), 3u);
}

TEST_F(PipelineTest, RefusedAllocatorPropertiesFailTheConnection) {
  Pipeline p({}, {.outputAlign = 3});
  ASSERT_EQ(p.Out()->Connect(p.In(p.transform), nullptr), S_OK);
  const CMediaType type = TestVideoType();
  EXPECT_EQ(p.Out(p.transform)->Connect(p.In(), nullptr), VFW_E_BADALIGN);
  EXPECT_EQ(p.Out(p.transform)->Connect(p.In(), &type), VFW_E_BADALIGN);
  IPin* other = nullptr;
  EXPECT_EQ(p.Out(p.transform)->ConnectedTo(&other), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(p.In()->ConnectedTo(&other), VFW_E_NOT_CONNECTED);
}

TEST_F(PipelineTest, RefusedMediaTypesFailTheConnection) {
  {
    Pipeline p({}, {}, /*sinkRefusesAll=*/true);
    const CMediaType type = TestVideoType();
    EXPECT_EQ(p.Out(p.transform)->Connect(p.In(), &type), E_UNEXPECTED)
        << "a transform output connects only after its input";
    EXPECT_EQ(p.Out(p.transform)->Connect(p.In(), nullptr), VFW_E_NO_ACCEPTABLE_TYPES)
        << "and offers no types before";
    ASSERT_EQ(p.Out()->Connect(p.In(p.transform), nullptr), S_OK);
    EXPECT_EQ(p.Out(p.transform)->Connect(p.In(), nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_EQ(p.Out(p.transform)->Connect(p.In(), &type), VFW_E_TYPE_NOT_ACCEPTED);
    IPin* other = nullptr;
    EXPECT_EQ(p.In()->ConnectedTo(&other), VFW_E_NOT_CONNECTED);
  }
  {
    Pipeline p({}, {.refuseInput = true});
    EXPECT_EQ(p.Out()->Connect(p.In(p.transform), nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
  }
  {
    Pipeline p;
    CMediaType audioOnly(MEDIATYPE_Audio);  // partial: no format type
    EXPECT_EQ(p.Out()->Connect(p.In(p.transform), &audioOnly), VFW_E_NO_ACCEPTABLE_TYPES);
    CMediaType anyVideo(MEDIATYPE_Video);
    EXPECT_EQ(p.Out()->Connect(p.In(p.transform), &anyVideo), S_OK);
  }
}

TEST_F(PipelineTest, ConnectionsChangeOnlyWhileStopped) {
  Pipeline p;
  ASSERT_EQ(p.ConnectAll(), S_OK);
  EXPECT_EQ(p.Out()->Connect(p.In(p.transform), nullptr), VFW_E_ALREADY_CONNECTED);
  p.SetState(State_Paused);
  EXPECT_EQ(p.Out()->Disconnect(), VFW_E_NOT_STOPPED);
  p.SetState(State_Stopped);
  EXPECT_EQ(p.Out()->Disconnect(), S_OK);
  EXPECT_EQ(p.Out()->Disconnect(), S_FALSE);
}

TEST_F(PipelineTest, EnumeratorsListPinsAndOfferedTypes) {
  Pipeline p;
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(p.transform->EnumPins(pins.ReleaseAndGetAddressOf()), S_OK);
  IPin* found[3] = {};
  ULONG fetched = 0;
  EXPECT_EQ(pins->Next(3, found, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  PIN_DIRECTION dir;
  found[0]->QueryDirection(&dir);
  EXPECT_EQ(dir, PINDIR_INPUT);
  found[1]->QueryDirection(&dir);
  EXPECT_EQ(dir, PINDIR_OUTPUT);
  for (ULONG i = 0; i < fetched; ++i) found[i]->Release();

  ComPtr<IPin> byName;
  EXPECT_EQ(p.transform->FindPin(u"XForm Out", byName.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(byName.Get(), p.Out(p.transform));
  EXPECT_EQ(p.transform->FindPin(u"Nowhere", byName.ReleaseAndGetAddressOf()), VFW_E_NOT_FOUND);

  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(p.Out()->EnumMediaTypes(types.ReleaseAndGetAddressOf()), S_OK);
  AM_MEDIA_TYPE* offered[2] = {};
  EXPECT_EQ(types->Next(2, offered, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 1u);
  EXPECT_TRUE(*AsMediaType(offered[0]) == TestVideoType());
  DeleteMediaType(offered[0]);

  ASSERT_EQ(p.ConnectAll(), S_OK);
  CMediaType connected;
  ASSERT_EQ(p.In()->ConnectionMediaType(&connected), S_OK);
  EXPECT_TRUE(connected == TestVideoType());
}

// A clock the test moves by hand.
class ManualClock final : public IReferenceClock {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT GetTime(REFERENCE_TIME* pTime) override {
    *pTime = now;
    return S_OK;
  }
  HRESULT AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR*) override {
    return E_NOTIMPL;
  }
  HRESULT AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR*) override {
    return E_NOTIMPL;
  }
  HRESULT Unadvise(DWORD_PTR) override { return E_NOTIMPL; }
  std::atomic<REFERENCE_TIME> now{0};
};

TEST_F(PipelineTest, RunningRendererWaitsForEachSampleTimeOnItsClock) {
  ManualClock clock;
  Pipeline p;
  ASSERT_EQ(p.Out()->Connect(p.In(), nullptr), S_OK);
  ASSERT_EQ(p.sink->SetSyncSource(&clock), S_OK);
  ASSERT_EQ(p.sink->Run(0), S_OK);
  ASSERT_EQ(p.source->Run(0), S_OK);
  ASSERT_TRUE(p.sink->WaitForCount(1));
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(p.sink->Samples().size(), 1u) << "the second sample is due at 40 ms";
  clock.now = 2 * kFrameTime;
  EXPECT_TRUE(p.sink->WaitForCount(3));
  EXPECT_EQ(p.sink->Stop(), S_OK);  // releases the sample waiting for 120 ms
  EXPECT_EQ(p.source->Stop(), S_OK);
  EXPECT_EQ(p.sink->Samples().size(), 3u);
  p.sink->SetSyncSource(nullptr);
}

}  // namespace
}  // namespace dshow_test

namespace dshow_test {
namespace {

// A sink built on CBaseFilter with a rendered input pin that only counts samples.
class CountingPin : public CRenderedInputPin {
 public:
  CountingPin(CBaseFilter* filter, CCritSec* lock, HRESULT* phr)
      : CRenderedInputPin("CountingPin", filter, lock, phr, u"Input") {}
  HRESULT CheckMediaType(const CMediaType* pmt) override {
    return *pmt->Type() == MEDIATYPE_Video ? S_OK : E_FAIL;
  }
  HRESULT Receive(IMediaSample* pSample) override {
    const HRESULT hr = CRenderedInputPin::Receive(pSample);
    if (hr == S_OK) ++received;
    return hr;
  }
  std::atomic<int> received{0};
};

class CountingSink : public CBaseFilter {
 public:
  CountingSink() : CBaseFilter("CountingSink", nullptr, &m_lock, CLSID_TestSink) {
    HRESULT hr = S_OK;
    m_pin = std::make_unique<CountingPin>(this, &m_lock, &hr);
  }
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override { return n == 0 ? m_pin.get() : nullptr; }
  CountingPin* Pin() { return m_pin.get(); }

 private:
  CCritSec m_lock;
  std::unique_ptr<CountingPin> m_pin;
};

TEST_F(PipelineTest, RenderedInputPinCompletesOncePerRunAfterEndOfStream) {
  TestGraph graph;
  auto* source = new NumberSource({.sampleCount = 3});
  auto* sink = new CountingSink;
  ComPtr<IBaseFilter> sourceRef = Hold(source);
  ComPtr<IBaseFilter> sinkRef = Hold(sink);
  sinkRef->JoinFilterGraph(&graph, u"sink");
  ASSERT_EQ(static_cast<IPin*>(source->Stream())->Connect(sink->Pin(), nullptr), S_OK);

  for (int run = 1; run <= 2; ++run) {
    ASSERT_EQ(sink->Pause(), S_OK);
    ASSERT_EQ(source->Pause(), S_OK);
    // A sink that does not hold samples lets the whole stream through while paused.
    // (The source numbers on across runs, so its second run is end of stream alone.)
    for (int i = 0; i < 500 && sink->Pin()->received < 3; ++i) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(graph.Count(EC_COMPLETE), run - 1) << "not while paused";
    ASSERT_EQ(sink->Run(0), S_OK);
    ASSERT_EQ(source->Run(0), S_OK);
    EXPECT_TRUE(graph.WaitForCount(EC_COMPLETE, run));
    EXPECT_EQ(graph.Count(EC_COMPLETE), run);
    MustReturn("stop", [&] {
      sink->Stop();
      source->Stop();
    });
  }
  EXPECT_EQ(sink->Pin()->received, 3);
  static_cast<IPin*>(source->Stream())->Disconnect();
  sink->Pin()->Disconnect();
  sinkRef->JoinFilterGraph(nullptr, nullptr);
}

}  // namespace
}  // namespace dshow_test

namespace dshow_test {
namespace {

// A stream that replaces the push loop: it delivers only what has been queued and polls
// otherwise, answering commands itself.
class PollingStream : public NumberStream {
 public:
  PollingStream(CSource* filter, HRESULT* phr) : NumberStream(filter, phr, {}) {}
  std::atomic<int> queued{0};

 protected:
  HRESULT DoBufferProcessingLoop() override {
    Command command;
    for (;;) {
      while (!CheckRequest(&command)) {
        if (queued == 0) {
          Sleep(1);
          continue;
        }
        IMediaSample* sample = nullptr;
        if (FAILED(GetDeliveryBuffer(&sample, nullptr, nullptr, 0))) continue;
        --queued;
        FillBuffer(sample);
        Deliver(sample);
        sample->Release();
      }
      if (command == CMD_STOP) return S_OK;  // answered by the thread's command loop
      Reply(command == CMD_RUN || command == CMD_PAUSE ? S_OK : static_cast<DWORD>(E_UNEXPECTED));
    }
  }
};

// A stream that keeps the base push loop and says when nothing is queued yet, as a source fed
// from elsewhere does.
class WaitingStream : public NumberStream {
 public:
  // Any success code but S_OK and S_FALSE means "nothing yet".
  static constexpr HRESULT kNothingYet = 0x1111;

  WaitingStream(CSource* filter, HRESULT* phr) : NumberStream(filter, phr, {}) {}
  std::atomic<int> queued{0};
  std::atomic<int> waits{0};

 protected:
  HRESULT FillBuffer(IMediaSample* sample) override {
    if (queued == 0) return kNothingYet;
    --queued;
    return NumberStream::FillBuffer(sample);
  }
  void WaitForData() override {
    ++waits;
    Sleep(1);
  }
};

template <class Stream>
class QueueSource : public CSource {
 public:
  QueueSource() : CSource("QueueSource", nullptr, CLSID_TestSource) {
    HRESULT hr = S_OK;
    stream = new Stream(this, &hr);
  }
  Stream* stream;
};

// Runs a queue-fed source into a sink, both in `graph`: nothing arrives while nothing is queued
// (`idle` waits for that state), two queued samples arrive, and the stream stops on request.
template <class Stream>
void DeliverTwoQueued(TestGraph& graph, const std::function<void(Stream&)>& idle) {
  auto* source = new QueueSource<Stream>;
  auto* sink = new CollectingSink;
  ComPtr<IBaseFilter> sourceRef = Hold(source);
  ComPtr<IBaseFilter> sinkRef = Hold(sink);
  sourceRef->JoinFilterGraph(&graph, u"source");
  sinkRef->JoinFilterGraph(&graph, u"sink");
  IPin* out = source->stream;
  ASSERT_EQ(out->Connect(sink->Input(), nullptr), S_OK);
  ASSERT_EQ(sink->Run(0), S_OK);
  ASSERT_EQ(source->Run(0), S_OK);
  idle(*source->stream);
  EXPECT_TRUE(sink->Samples().empty()) << "nothing queued, nothing delivered";
  source->stream->queued = 2;
  EXPECT_TRUE(sink->WaitForCount(2));
  MustReturn("stop of a queue-fed stream", [&] {
    sink->Stop();
    source->Stop();
  });
  EXPECT_EQ(sink->Samples().size(), 2u);
  out->Disconnect();
  sink->Input()->Disconnect();
  sourceRef->JoinFilterGraph(nullptr, nullptr);
  sinkRef->JoinFilterGraph(nullptr, nullptr);
}

TEST_F(PipelineTest, AReplacedStreamingLoopDeliversAndStops) {
  TestGraph graph;
  DeliverTwoQueued<PollingStream>(graph, [](PollingStream&) {
    std::this_thread::sleep_for(10ms);
  });
}

TEST_F(PipelineTest, NothingYetFromFillBufferWaitsAndKeepsTheStreamGoing) {
  TestGraph graph;
  DeliverTwoQueued<WaitingStream>(graph, [](WaitingStream& stream) {
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (stream.waits < 3 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(1ms);
    EXPECT_GE(stream.waits, 3);
  });
  // Waiting is neither an end of stream (the sink's EC_COMPLETE) nor a failure.
  EXPECT_EQ(graph.Count(EC_ERRORABORT), 0);
  EXPECT_EQ(graph.Count(EC_COMPLETE), 0);
}

}  // namespace
}  // namespace dshow_test

namespace dshow_test {
namespace {

TEST_F(PipelineTest, PinEnumeratorsNoticeAddedPins) {
  auto* source = new NumberSource({});
  ComPtr<IBaseFilter> held = Hold(source);
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(source->EnumPins(pins.ReleaseAndGetAddressOf()), S_OK);
  HRESULT hr = S_OK;
  new NumberStream(source, &hr, {});  // owned by the source from here on

  IPin* found[2] = {};
  ULONG fetched = 0;
  EXPECT_EQ(pins->Next(2, found, &fetched), VFW_E_ENUM_OUT_OF_SYNC);
  EXPECT_EQ(fetched, 0u);
  ASSERT_EQ(pins->Reset(), S_OK);
  EXPECT_EQ(pins->Next(2, found, &fetched), S_OK);
  ASSERT_EQ(fetched, 2u);
  for (IPin* pin : found) pin->Release();
}

TEST_F(PipelineTest, ASampleWithARefusedTypeStopsTheInputUntilStop) {
  Pipeline p;
  ASSERT_EQ(p.ConnectAll(), S_OK);
  ASSERT_EQ(p.sink->Run(0), S_OK);
  ASSERT_EQ(p.transform->Run(0), S_OK);  // the source stays stopped: the test delivers

  ComPtr<IMemAllocator> allocator;
  HRESULT hr = S_OK;
  CMemAllocator::CreateInstance(nullptr, &hr)->NonDelegatingQueryInterface(
      IID_IMemAllocator, allocator.ReleaseAndGetVoidAddress());
  ALLOCATOR_PROPERTIES props{1, 16, 1, 0};
  ALLOCATOR_PROPERTIES actual{};
  ASSERT_EQ(allocator->SetProperties(&props, &actual), S_OK);
  ASSERT_EQ(allocator->Commit(), S_OK);
  IMediaSample* sample = nullptr;
  ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
  auto* input = static_cast<CBaseInputPin*>(p.transform->Input());

  CMediaType same = TestVideoType();
  sample->SetMediaType(&same);
  EXPECT_EQ(input->Receive(sample), S_OK) << "a type change to an accepted type";
  EXPECT_TRUE(p.sink->WaitForCount(1));

  CMediaType audio(MEDIATYPE_Audio);
  sample->SetMediaType(&audio);
  EXPECT_EQ(input->Receive(sample), VFW_E_INVALIDMEDIATYPE);
  TestGraph::Event abort{};
  ASSERT_TRUE(p.graph.WaitFor(EC_ERRORABORT, &abort));
  EXPECT_EQ(abort.param1, VFW_E_TYPE_NOT_ACCEPTED);
  EXPECT_TRUE(p.graph.WaitFor(EC_COMPLETE)) << "the refused input ended its stream downstream";
  sample->SetMediaType(nullptr);
  EXPECT_EQ(input->Receive(sample), VFW_E_RUNTIME_ERROR);

  p.SetState(State_Stopped);
  ASSERT_EQ(p.sink->Run(0), S_OK);
  ASSERT_EQ(p.transform->Run(0), S_OK);
  EXPECT_EQ(input->Receive(sample), S_OK) << "stopping clears the error";
  sample->Release();
  allocator->Decommit();
}

}  // namespace
}  // namespace dshow_test
