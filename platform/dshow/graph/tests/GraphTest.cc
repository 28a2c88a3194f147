// The graph manager with the GraphTestFilters module: membership, intelligent connection and
// rendering by merit, RenderFile's choice of source, state changes, completion and forwarding.
#include <dlfcn.h>

#include <chrono>
#include <thread>
#include <vector>

#include "ClassRegistry.h"
#include "GraphClasses.h"
#include "GraphTestSupport.h"
#include "MapperInterfaces.h"
#include "ModuleUnload.h"
#include "PinUtil.h"
#include "Sync.h"
#include "SystemClock.h"
#include "WideString.h"

namespace graph_test {
namespace {

using namespace std::chrono_literals;

constexpr LONG kLongWaitMs = 10000;

class GraphTest : public GraphTestEnvironment {
 protected:
  void SetUp() override { graph = NewGraph(); }
  void TearDown() override {
    if (graph) ComPtr<IMediaControl>(graph.As<IMediaControl>())->Stop();
  }

  // A source in the graph with the given Load text.
  ComPtr<IBaseFilter> AddSource(const std::u16string& text) {
    ComPtr<IBaseFilter> source;
    EXPECT_EQ(graph->AddSourceFilter((u"gtest://host/" + text).c_str(), u"Source",
                                     source.GetAddressOf()),
              S_OK);
    return source;
  }

  ComPtr<IMediaControl> Control() { return graph.As<IMediaControl>(); }
  ComPtr<IMediaEventEx> Events() { return graph.As<IMediaEventEx>(); }

  ComPtr<IGraphBuilder> graph;
};

// Takes a filter out of the mapper's reach for one test and puts it back afterwards.
class HiddenFilter {
 public:
  explicit HiddenFilter(const CLSID& clsid) : clsid_(clsid) {
    CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                     mapper_.ReleaseAndGetVoidAddress());
    EXPECT_EQ(mapper_->UnregisterFilter(nullptr, nullptr, clsid_), S_OK);
  }
  ~HiddenFilter() {
    // Registering the module again restores every filter with its original data.
    EXPECT_EQ(CallModuleExport(GRAPH_TEST_FILTERS_PATH, "DllRegisterServer"), S_OK);
  }

 private:
  const CLSID clsid_;
  ComPtr<IFilterMapper2> mapper_;
};

TEST_F(GraphTest, NamesAreUniqueAndFoundAgain) {
  ComPtr<IBaseFilter> first;
  ComPtr<IBaseFilter> second;
  ASSERT_EQ(CoCreateInstance(CLSID_GraphTestAudioRenderer, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IBaseFilter, first.ReleaseAndGetVoidAddress()),
            S_OK);
  ASSERT_EQ(CoCreateInstance(CLSID_GraphTestAudioRenderer, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IBaseFilter, second.ReleaseAndGetVoidAddress()),
            S_OK);
  EXPECT_EQ(graph->AddFilter(first.Get(), u"Renderer"), S_OK);
  EXPECT_EQ(graph->AddFilter(second.Get(), u"Renderer"), VFW_S_DUPLICATE_NAME);
  EXPECT_EQ(graph->AddFilter(first.Get(), u"Again"), VFW_E_DUPLICATE_NAME);

  EXPECT_EQ(FindFilter(graph.Get(), u"Renderer").Get(), first.Get());
  EXPECT_EQ(FindFilter(graph.Get(), u"Renderer 0001").Get(), second.Get());
  EXPECT_EQ(FilterName(second.Get()), u"Renderer 0001");
  ComPtr<IBaseFilter> none;
  EXPECT_EQ(graph->FindFilterByName(u"renderer", none.GetAddressOf()), VFW_E_NOT_FOUND);
  EXPECT_EQ(FilterCount(graph.Get()), 2);
}

TEST_F(GraphTest, RenderPicksTheHigherMeritDecoder) {
  HiddenFilter picky(CLSID_GraphTestPickyDecoder);
  auto source = AddSource(u"video=1&audio=0");
  ASSERT_EQ(graph->Render(PinNamed(source.Get(), u"Video").Get()), S_OK);
  EXPECT_TRUE(HasFilterOfClass(graph.Get(), CLSID_GraphTestDecoderHigh));
  EXPECT_FALSE(HasFilterOfClass(graph.Get(), CLSID_GraphTestDecoderLow));
  EXPECT_TRUE(HasFilterOfClass(graph.Get(), CLSID_GraphTestVideoRenderer));
}

TEST_F(GraphTest, RenderFallsBackWhenTheBestCandidateRefuses) {
  auto source = AddSource(u"video=1&audio=0");
  ASSERT_EQ(graph->Render(PinNamed(source.Get(), u"Video").Get()), S_OK);
  EXPECT_FALSE(HasFilterOfClass(graph.Get(), CLSID_GraphTestPickyDecoder));
  EXPECT_TRUE(HasFilterOfClass(graph.Get(), CLSID_GraphTestDecoderHigh));
  EXPECT_EQ(FilterCount(graph.Get()), 3);  // source, decoder, renderer: nothing left over
}

// The registered filters are read once per building call, never kept from one call to the
// next: a filter registered in between is a candidate for the next call on the same graph.
TEST_F(GraphTest, EachRenderReadsTheRegistryAgain) {
  ComPtr<IBaseFilter> first;
  ComPtr<IBaseFilter> second;
  ASSERT_EQ(graph->AddSourceFilter(u"gtest://host/video=1&audio=0", u"First", first.GetAddressOf()),
            S_OK);
  ASSERT_EQ(graph->AddSourceFilter(u"gtest://host/video=1&audio=0", u"Second",
                                   second.GetAddressOf()),
            S_OK);
  {
    HiddenFilter picky(CLSID_GraphTestPickyDecoder);
    HiddenFilter high(CLSID_GraphTestDecoderHigh);
    ASSERT_EQ(graph->Render(PinNamed(first.Get(), u"Video").Get()), S_OK);
    EXPECT_TRUE(HasFilterOfClass(graph.Get(), CLSID_GraphTestDecoderLow));
    EXPECT_FALSE(HasFilterOfClass(graph.Get(), CLSID_GraphTestDecoderHigh));
  }
  ASSERT_EQ(graph->Render(PinNamed(second.Get(), u"Video").Get()), S_OK);
  EXPECT_TRUE(HasFilterOfClass(graph.Get(), CLSID_GraphTestDecoderHigh));
}

TEST_F(GraphTest, ConnectInsertsADecoderWhenDirectFails) {
  auto source = AddSource(u"video=1&audio=0");
  ComPtr<IBaseFilter> renderer;
  CoCreateInstance(CLSID_GraphTestVideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                   renderer.ReleaseAndGetVoidAddress());
  ASSERT_EQ(graph->AddFilter(renderer.Get(), u"Video Renderer"), S_OK);
  auto out = PinNamed(source.Get(), u"Video");
  auto in = PinNamed(renderer.Get(), u"In");
  EXPECT_EQ(graph->ConnectDirect(out.Get(), in.Get(), nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
  ASSERT_EQ(graph->Connect(out.Get(), in.Get()), S_OK);
  auto decoder = FilterOfClass(graph.Get(), CLSID_GraphTestDecoderHigh);
  ASSERT_TRUE(decoder);
  EXPECT_EQ(PinOwner(ConnectedPin(out.Get()).Get()).Get(), decoder.Get());
  EXPECT_EQ(PinOwner(ConnectedPin(in.Get()).Get()).Get(), decoder.Get());
}

TEST_F(GraphTest, RenderFileByScheme) {
  ASSERT_EQ(graph->RenderFile(u"gtest://camera/video=1&audio=1", nullptr), S_OK);
  auto source = FilterOfClass(graph.Get(), CLSID_GraphTestSource);
  ASSERT_TRUE(source);
  ComPtr<IFileSourceFilter> file = source.As<IFileSourceFilter>();
  LPOLESTR loaded = nullptr;
  ASSERT_EQ(file->GetCurFile(&loaded, nullptr), S_OK);
  EXPECT_EQ(std::u16string(loaded), u"gtest://camera/video=1&audio=1");
  CoTaskMemFree(loaded);
  EXPECT_TRUE(HasFilterOfClass(graph.Get(), CLSID_GraphTestVideoRenderer));
  EXPECT_TRUE(HasFilterOfClass(graph.Get(), CLSID_GraphTestAudioRenderer));
}

// URL schemes are case-insensitive: the key registered as "gtest" serves any spelling.
TEST_F(GraphTest, RenderFileMatchesTheSchemeWithoutCase) {
  ASSERT_EQ(graph->RenderFile(u"GTEST://camera/video=1&audio=0", nullptr), S_OK);
  EXPECT_TRUE(HasFilterOfClass(graph.Get(), CLSID_GraphTestSource));
  auto second = NewGraph();
  ASSERT_EQ(second->RenderFile(u"GTest://camera/video=1&audio=0", nullptr), S_OK);
  EXPECT_TRUE(HasFilterOfClass(second.Get(), CLSID_GraphTestSource));
}

TEST_F(GraphTest, RenderFileByCheckBytesThenByExtension) {
  const std::string byContent = WriteFile("clip.bin", std::string(kMagic) + "video=1");
  ASSERT_EQ(graph->RenderFile(Utf8ToWide(byContent).c_str(), nullptr), S_OK);
  EXPECT_TRUE(HasFilterOfClass(graph.Get(), CLSID_GraphTestSource));

  auto second = NewGraph();
  const std::string byExtension = WriteFile("clip.gts", "no magic here");
  ASSERT_EQ(second->RenderFile(Utf8ToWide(byExtension).c_str(), nullptr), S_OK);
  EXPECT_TRUE(HasFilterOfClass(second.Get(), CLSID_GraphTestSource));
}

TEST_F(GraphTest, RenderFileThatNoSourceClaimsFailsClearly) {
  const std::string unknown = WriteFile("clip.xyz", "nothing anyone knows");
  EXPECT_EQ(graph->RenderFile(Utf8ToWide(unknown).c_str(), nullptr), VFW_E_UNKNOWN_FILE_TYPE);
  EXPECT_EQ(graph->RenderFile(Utf8ToWide(TempDir() + "/missing.xyz").c_str(), nullptr),
            HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(graph->RenderFile(u"nope://host/x", nullptr), VFW_E_UNKNOWN_FILE_TYPE);
  EXPECT_EQ(FilterCount(graph.Get()), 0);
}

TEST_F(GraphTest, CompletionWaitsForEveryRenderer) {
  ASSERT_EQ(graph->RenderFile(u"gtest://x/video=20&audio=2&step=20", nullptr), S_OK);
  auto video = FilterOfClass(graph.Get(), CLSID_GraphTestVideoRenderer);
  auto audio = FilterOfClass(graph.Get(), CLSID_GraphTestAudioRenderer);
  ASSERT_EQ(Control()->Run(), S_OK);

  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (RendererStats(audio.Get()).samples < 2 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(20ms);  // the audio stream's end has certainly arrived
  LONG code = 0;
  EXPECT_EQ(Events()->WaitForCompletion(0, &code), E_ABORT);
  EXPECT_LT(RendererStats(video.Get()).samples, 20);

  ASSERT_EQ(Events()->WaitForCompletion(kLongWaitMs, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(RendererStats(video.Get()).samples, 20);
  EXPECT_EQ(RendererStats(video.Get()).last, 19 * 20 * 10000);

  int completes = 0;
  LONG_PTR p1 = 0;
  LONG_PTR p2 = 0;
  while (Events()->GetEvent(&code, &p1, &p2, 0) == S_OK) completes += code == EC_COMPLETE;
  EXPECT_EQ(completes, 1);

  LONGLONG position = 0;
  ASSERT_EQ(graph.As<IMediaSeeking>()->GetCurrentPosition(&position), S_OK);
  EXPECT_EQ(position, 19 * 20 * 10000);  // the last sample to reach a renderer
}

TEST_F(GraphTest, WithoutDefaultHandlingEveryRendererCompletionPassesThrough) {
  ASSERT_EQ(graph->RenderFile(u"gtest://x/video=3&audio=1&step=1", nullptr), S_OK);
  ASSERT_EQ(Events()->CancelDefaultHandling(EC_COMPLETE), S_OK);
  ASSERT_EQ(Control()->Run(), S_OK);
  std::vector<LONG_PTR> senders;
  LONG code = 0;
  LONG_PTR p1 = 0;
  LONG_PTR p2 = 0;
  while (senders.size() < 2 && Events()->GetEvent(&code, &p1, &p2, kLongWaitMs) == S_OK) {
    if (code == EC_COMPLETE) senders.push_back(p2);
  }
  ASSERT_EQ(senders.size(), 2u);
  EXPECT_NE(senders[0], senders[1]);  // one from each renderer, naming it
  EXPECT_EQ(Events()->GetEvent(&code, &p1, &p2, 50), E_ABORT);
}

TEST_F(GraphTest, StateChangesWithTheSourceBlockedOnAFullAllocator) {
  ASSERT_EQ(graph->RenderFile(u"gtest://x/video=30&audio=0&buffers=1&step=1", nullptr), S_OK);
  auto video = FilterOfClass(graph.Get(), CLSID_GraphTestVideoRenderer);
  ASSERT_EQ(Control()->Pause(), S_OK);
  OAFilterState state = -1;
  // Paused, the renderer holds the first sample and every buffer upstream is in use.
  EXPECT_EQ(Control()->GetState(kLongWaitMs, &state), S_OK);
  EXPECT_EQ(state, State_Paused);
  EXPECT_EQ(RendererStats(video.Get()).samples, 0);

  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(Control()->Stop(), S_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
  EXPECT_EQ(Control()->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);

  ASSERT_EQ(Control()->Run(), S_OK);
  LONG code = 0;
  ASSERT_EQ(Events()->WaitForCompletion(kLongWaitMs, &code), S_OK);
  EXPECT_EQ(RendererStats(video.Get()).samples, 30);
  EXPECT_EQ(Control()->Stop(), S_OK);
  EXPECT_EQ(Events()->WaitForCompletion(0, &code), VFW_E_WRONG_STATE);
}

TEST_F(GraphTest, ClockOnlyWhenARendererAsksForOne) {
  auto source = AddSource(u"video=0&audio=0");  // nothing connected: no renderer paces it
  ASSERT_EQ(Control()->Pause(), S_OK);
  ComPtr<IReferenceClock> clock;
  ASSERT_EQ(graph.As<IMediaFilter>()->GetSyncSource(clock.GetAddressOf()), S_OK);
  EXPECT_FALSE(clock);
  ASSERT_EQ(Control()->Stop(), S_OK);

  ASSERT_EQ(graph->Render(PinNamed(source.Get(), u"Audio").Get()), S_OK);
  ASSERT_EQ(Control()->Pause(), S_OK);
  ASSERT_EQ(graph.As<IMediaFilter>()->GetSyncSource(clock.GetAddressOf()), S_OK);
  ASSERT_TRUE(clock);
  REFERENCE_TIME first = 0;
  REFERENCE_TIME second = 0;
  clock->GetTime(&first);
  std::this_thread::sleep_for(2ms);
  clock->GetTime(&second);
  EXPECT_GT(second, first);
}

TEST_F(GraphTest, SeekingRestartsEveryStreamFromTheNewPosition) {
  ASSERT_EQ(graph->RenderFile(u"gtest://x/video=20&audio=4&step=10", nullptr), S_OK);
  auto seeking = graph.As<IMediaSeeking>();
  LONGLONG duration = 0;
  ASSERT_EQ(seeking->GetDuration(&duration), S_OK);
  EXPECT_EQ(duration, 20 * 10 * 10000);  // the longer stream

  ASSERT_EQ(Control()->Run(), S_OK);
  LONG code = 0;
  ASSERT_EQ(Events()->WaitForCompletion(kLongWaitMs, &code), S_OK);
  LONGLONG start = 15 * 10 * 10000;
  ASSERT_EQ(seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr,
                                  AM_SEEKING_NoPositioning),
            S_OK);
  // The old completion is gone; the graph runs on and completes again.
  ASSERT_EQ(Events()->WaitForCompletion(kLongWaitMs, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  const Stats video = RendererStats(FilterOfClass(graph.Get(), CLSID_GraphTestVideoRenderer).Get());
  EXPECT_EQ(video.samples, 20 + 5);
  EXPECT_EQ(video.last, 4 * 10 * 10000);  // times count from the new segment
  OAFilterState state = -1;
  EXPECT_EQ(Control()->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Running);
}

TEST_F(GraphTest, RemovingAConnectedFilterDisconnectsItsNeighbours) {
  ASSERT_EQ(graph->RenderFile(u"gtest://x/video=1&audio=1", nullptr), S_OK);
  auto source = FilterOfClass(graph.Get(), CLSID_GraphTestSource);
  auto decoder = FilterOfClass(graph.Get(), CLSID_GraphTestDecoderHigh);
  auto renderer = FilterOfClass(graph.Get(), CLSID_GraphTestVideoRenderer);
  const int before = FilterCount(graph.Get());

  ASSERT_EQ(graph->RemoveFilter(decoder.Get()), S_OK);
  EXPECT_EQ(FilterCount(graph.Get()), before - 1);
  EXPECT_FALSE(ConnectedPin(PinNamed(source.Get(), u"Video").Get()));
  EXPECT_FALSE(ConnectedPin(PinNamed(renderer.Get(), u"In").Get()));
  for (const auto& pin : FilterPins(decoder.Get())) EXPECT_FALSE(ConnectedPin(pin.Get()));
  FILTER_INFO info{};
  ASSERT_EQ(decoder->QueryFilterInfo(&info), S_OK);
  EXPECT_EQ(info.pGraph, nullptr);
  EXPECT_EQ(graph->RemoveFilter(decoder.Get()), VFW_E_NOT_FOUND);
  // The audio branch is untouched.
  EXPECT_TRUE(ConnectedPin(PinNamed(source.Get(), u"Audio").Get()));
}

TEST_F(GraphTest, RendererControlsAreForwardedOrRefused) {
  ASSERT_EQ(graph->RenderFile(u"gtest://x/video=1&audio=1", nullptr), S_OK);
  ASSERT_EQ(graph.As<IBasicAudio>()->put_Volume(-1200), S_OK);
  LONG volume = 0;
  auto audio = FilterOfClass(graph.Get(), CLSID_GraphTestAudioRenderer);
  ASSERT_EQ(audio.As<IBasicAudio>()->get_Volume(&volume), S_OK);
  EXPECT_EQ(volume, -1200);
  EXPECT_EQ(graph.As<IVideoFrameStep>()->CanStep(0, nullptr), S_FALSE);

  LONG width = 0;
  auto basicVideo = graph.As<IBasicVideo>();
  ASSERT_TRUE(basicVideo);  // the graph always answers; the call says nobody implements it
  EXPECT_EQ(basicVideo->get_VideoWidth(&width), E_NOINTERFACE);
  EXPECT_EQ(graph.As<IVideoWindow>()->put_Visible(0), E_NOINTERFACE);
}

TEST_F(GraphTest, ModuleOffersTheGraphClasses) {
  ASSERT_EQ(CallModuleExport(RECAST_GRAPH_MODULE_PATH, "DllRegisterServer"), S_OK);
  std::string path;
  ASSERT_EQ(InprocServerPath(CLSID_FilterGraph, path), S_OK);
  EXPECT_NE(path.find("RecastGraph"), std::string::npos);
  void* module = dlopen(RECAST_GRAPH_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  auto* getClassObject =
      reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(module, "DllGetClassObject"));
  ASSERT_TRUE(getClassObject);
  for (const CFactoryTemplate& t : GraphClassTemplates()) {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(getClassObject(*t.m_ClsID, IID_IClassFactory, factory.ReleaseAndGetVoidAddress()),
              S_OK);
    ComPtr<IUnknown> object;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.ReleaseAndGetVoidAddress()),
              S_OK);
  }
}

TEST(SystemClockTest, AdvisesSignalWhenDueAndNotAfterUnadvise) {
  ComPtr<IReferenceClock> clock;
  HRESULT hr = S_OK;
  SystemClock::CreateInstance(nullptr, &hr)
      ->NonDelegatingQueryInterface(IID_IReferenceClock, clock.ReleaseAndGetVoidAddress());
  REFERENCE_TIME now = 0;
  ASSERT_EQ(clock->GetTime(&now), S_OK);

  CAMEvent due;
  CAMEvent cancelled;
  DWORD_PTR dueCookie = 0;
  DWORD_PTR cancelledCookie = 0;
  constexpr REFERENCE_TIME kSoon = 200000;  // 20 ms
  ASSERT_EQ(clock->AdviseTime(now, kSoon, reinterpret_cast<HEVENT>(&due), &dueCookie), S_OK);
  ASSERT_EQ(clock->AdviseTime(now, kSoon, reinterpret_cast<HEVENT>(&cancelled), &cancelledCookie),
            S_OK);
  EXPECT_EQ(clock->Unadvise(cancelledCookie), S_OK);
  EXPECT_TRUE(due.Wait(kLongWaitMs));
  REFERENCE_TIME fired = 0;
  clock->GetTime(&fired);
  EXPECT_GE(fired, now + kSoon);
  EXPECT_FALSE(cancelled.Wait(50));
  EXPECT_EQ(clock->Unadvise(dueCookie), S_FALSE);  // one-shot advises end when they fire

  ClockSemaphore ticks;
  DWORD_PTR periodic = 0;
  ASSERT_EQ(clock->AdvisePeriodic(now + kSoon, kSoon, reinterpret_cast<HSEMAPHORE>(&ticks), &periodic),
            S_OK);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(ticks.Wait(kLongWaitMs));
  EXPECT_EQ(clock->Unadvise(periodic), S_OK);

  DWORD_PTR refused = 0;
  EXPECT_EQ(clock->AdviseTime(INT64_MAX, 1, reinterpret_cast<HEVENT>(&due), &refused),
            E_INVALIDARG);
  EXPECT_EQ(clock->AdvisePeriodic(now, 0, reinterpret_cast<HSEMAPHORE>(&ticks), &refused),
            E_INVALIDARG);
}

}  // namespace
TEST(GraphModuleUnload, GoesWhenItsLastGraphIsReleased) {
  EXPECT_TRUE(CreatesAndUnloads(CLSID_FilterGraph, RECAST_GRAPH_MODULE_PATH));
}

TEST(GraphModuleUnload, TestFiltersGoWhenTheLastIsReleased) {
  EXPECT_TRUE(CreatesAndUnloads(CLSID_GraphTestSource, GRAPH_TEST_FILTERS_PATH));
}

}  // namespace graph_test
