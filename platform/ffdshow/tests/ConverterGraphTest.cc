// The filters in a real graph, the way the converter uses them: a played file's renderers are
// found, detached and replaced by the AVI chain found by friendly name through the registered
// modules; the graph runs to completion and its position follows the multiplexer.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "AviReadBack.h"
#include "ComRuntime.h"
#include "FfdshowIds.h"
#include "FilterGraph.h"
#include "MapperInterfaces.h"
#include "ScopedTestRegistry.h"
#include "SysFilterIds.h"
#include "TestKit.h"

using namespace filter_test;

namespace {

constexpr int kFrames = 20;
constexpr LONG kCompletionWaitMs = 10000;

void RegisterModule(const char* path) {
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(nullptr, module) << dlerror();
  auto call = reinterpret_cast<HRESULT (*)()>(dlsym(module, "DllRegisterServer"));
  ASSERT_NE(nullptr, call);
  ASSERT_EQ(S_OK, call());
  dlclose(module);
}

ComPtr<IBaseFilter> Add(IGraphBuilder* graph, ComPtr<IBaseFilter> filter, LPCWSTR name) {
  EXPECT_TRUE(filter);
  if (filter) {
    EXPECT_TRUE(SUCCEEDED(graph->AddFilter(filter.Get(), name)));
  }
  return filter;
}

class ConverterGraphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    RegisterModule(SYSFILTERS_MODULE);
    RegisterModule(FFDSHOW_MODULE);
    HRESULT hr = S_OK;
    FilterGraph::CreateInstance(nullptr, &hr)
        ->NonDelegatingQueryInterface(IID_IGraphBuilder, graph_.ReleaseAndGetVoidAddress());
    ASSERT_TRUE(graph_);
    // What rendering a recorder file gives: decoded video and audio into the renderers.
    video_ = Add(graph_.Get(), Hold(new VideoSource({.frames = kFrames})), u"Video");
    audio_ = Add(graph_.Get(), Hold(new AudioSource({.buffers = kFrames})), u"Audio");
    auto videoRenderer = Add(graph_.Get(), CreateByFriendlyName(CLSID_LegacyAmFilterCategory, kVideoRendererName), kVideoRendererName);
    auto audioRenderer = Add(graph_.Get(), CreateByFriendlyName(CLSID_AudioRendererCategory, kAudioRendererName), kAudioRendererName);
    ASSERT_EQ(S_OK, graph_->ConnectDirect(PinAt(video_.Get(), 0).Get(), PinAt(videoRenderer.Get(), 0).Get(), nullptr));
    ASSERT_EQ(S_OK, graph_->ConnectDirect(PinAt(audio_.Get(), 0).Get(), PinAt(audioRenderer.Get(), 0).Get(), nullptr));
  }
  void TearDown() override {
    graph_.Reset();
    std::filesystem::remove(path_);
    CoUninitialize();
  }

  ScopedTestRegistry registry_;
  std::filesystem::path path_ = std::filesystem::temp_directory_path() /
                                ("recast-" + std::to_string(getpid()) + "-graph.avi");
  ComPtr<IGraphBuilder> graph_;
  ComPtr<IBaseFilter> video_, audio_;
};

}  // namespace

TEST_F(ConverterGraphTest, RenderersPlayOnTheAudioClockAndAnswerThroughTheGraph) {
  ComPtr<IBasicVideo> basicVideo;
  ASSERT_EQ(S_OK, graph_.As(basicVideo));
  LONG width = 0;
  EXPECT_EQ(S_OK, basicVideo->get_VideoWidth(&width));
  EXPECT_EQ(176, width);
  ComPtr<IMediaControl> control;
  ComPtr<IMediaEventEx> events;
  ASSERT_EQ(S_OK, graph_.As(control));
  ASSERT_EQ(S_OK, graph_.As(events));
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  LONG code = 0;
  EXPECT_EQ(S_OK, events->WaitForCompletion(kCompletionWaitMs, &code));
  EXPECT_EQ(EC_COMPLETE, code);
  // The clock the graph chose is the audio renderer's.
  ComPtr<IMediaFilter> graphFilter;
  ASSERT_EQ(S_OK, graph_.As(graphFilter));
  ComPtr<IReferenceClock> clock;
  graphFilter->GetSyncSource(clock.ReleaseAndGetAddressOf());
  ComPtr<IBaseFilter> audioRenderer;
  ASSERT_EQ(S_OK, graph_->FindFilterByName(kAudioRendererName, audioRenderer.ReleaseAndGetAddressOf()));
  ComPtr<IReferenceClock> rendererClock;
  ASSERT_EQ(S_OK, audioRenderer.As(rendererClock));
  EXPECT_EQ(rendererClock.Get(), clock.Get());
  control->Stop();
}

TEST_F(ConverterGraphTest, TheAviChainReplacesTheRenderersAndRunsToCompletion) {
  // Detach the renderers, keeping the decoders' outputs.
  for (const char16_t* name : {kVideoRendererName, kAudioRendererName}) {
    ComPtr<IBaseFilter> renderer;
    ASSERT_EQ(S_OK, graph_->FindFilterByName(name, renderer.ReleaseAndGetAddressOf()));
    ASSERT_EQ(S_OK, graph_->RemoveFilter(renderer.Get()));
  }
  auto encoder = Add(graph_.Get(), CreateByFriendlyName(CLSID_VideoCompressorCategory, kFfdshowVideoEncoderName), kFfdshowVideoEncoderName);
  auto mux = Add(graph_.Get(), CreateByFriendlyName(CLSID_LegacyAmFilterCategory, kAviMuxName), kAviMuxName);
  auto processor = Add(graph_.Get(), CreateByFriendlyName(CLSID_LegacyAmFilterCategory, kFfdshowAudioProcessorName), kFfdshowAudioProcessorName);
  auto writer = Add(graph_.Get(), CreateByFriendlyName(CLSID_LegacyAmFilterCategory, kFileWriterName), kFileWriterName);
  ComPtr<IFileSinkFilter> sink;
  ASSERT_EQ(S_OK, writer.As(sink));
  ASSERT_EQ(S_OK, sink->SetFileName(path_.u16string().c_str(), nullptr));

  ASSERT_EQ(S_OK, graph_->ConnectDirect(PinAt(video_.Get(), 0).Get(), PinAt(encoder.Get(), 0).Get(), nullptr));
  ASSERT_EQ(S_OK, graph_->ConnectDirect(PinAt(encoder.Get(), 1).Get(), PinAt(mux.Get(), 0).Get(), nullptr));
  ASSERT_EQ(S_OK, graph_->ConnectDirect(PinAt(mux.Get(), 2).Get(), PinAt(writer.Get(), 0).Get(), nullptr));
  ASSERT_EQ(S_OK, graph_->ConnectDirect(PinAt(audio_.Get(), 0).Get(), PinAt(processor.Get(), 0).Get(), nullptr));
  // The multiplexer's free input is the one after its first.
  ASSERT_EQ(S_OK, graph_->ConnectDirect(PinAt(processor.Get(), 1).Get(), PinAt(mux.Get(), 1).Get(), nullptr));

  ComPtr<IMediaControl> control;
  ComPtr<IMediaEventEx> events;
  ComPtr<IMediaSeeking> seeking;
  ASSERT_EQ(S_OK, graph_.As(control));
  ASSERT_EQ(S_OK, graph_.As(events));
  ASSERT_EQ(S_OK, graph_.As(seeking));
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  LONG code = 0;
  EXPECT_EQ(S_OK, events->WaitForCompletion(kCompletionWaitMs, &code));
  EXPECT_EQ(EC_COMPLETE, code);
  LONGLONG position = 0;
  EXPECT_EQ(S_OK, seeking->GetCurrentPosition(&position));
  EXPECT_EQ(kFrames * kFrameDuration, position);
  control->Stop();

  const AviSummary avi = ReadAvi(path_);
  EXPECT_EQ("mpeg4", avi.videoCodec);
  EXPECT_EQ(kFrames, avi.videoFrames);
  EXPECT_EQ("pcm_s16le", avi.audioCodec);
  EXPECT_EQ(kFrames * 320, avi.audioSamples);
}
