// The module as a graph sees it: registration into a private registry (class keys, recorder
// files by content and extension, the filter mapper), activation through the registry, and
// RenderFile of a recorder file building source → decoders → renderers that play it through.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "ComPtr.h"
#include "ComRuntime.h"
#include "FilterGraph.h"
#include "GraphClasses.h"
#include "MapperInterfaces.h"
#include "ModuleUnload.h"
#include "RecorderFilterIds.h"
#include "Recordings.h"
#include "RenderStatistics.h"
#include "Registry.h"
#include "WideString.h"
#include "recorder/RecorderMediaTypes.h"

DEFINE_GUID(CLSID_RecorderTestVideoRenderer, 0x2A5F0B71, 0x6C0E, 0x4B8D, 0x9E, 0x21, 0x53, 0x7A,
            0x0C, 0x44, 0x19, 0xD2);
DEFINE_GUID(CLSID_RecorderTestAudioRenderer, 0x2A5F0B72, 0x6C0E, 0x4B8D, 0x9E, 0x21, 0x53, 0x7A,
            0x0C, 0x44, 0x19, 0xD2);

namespace vendor::testing {
namespace {

constexpr LONG kCompletionWaitMs = 30000;

HRESULT CallExport(const char* path, const char* name) {
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!module) return CO_E_DLLNOTFOUND;
  const auto entry = reinterpret_cast<HRESULT (*)()>(dlsym(module, name));
  const HRESULT hr = entry ? entry() : CO_E_ERRORINDLL;
  dlclose(module);
  return hr;
}

std::string CheckBytesKey() {
  return "Media Type\\" + GuidToString(MEDIATYPE_Stream) + "\\" +
         GuidToString(MEDIASUBTYPE_RecorderStream);
}

class RecorderFiltersModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/recorder_filters_module_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    setenv("RECAST_REGISTRY", (std::string(pattern) + "/registry.db").c_str(), 1);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    graphClasses_ = new InProcessGraphClasses;
    ASSERT_EQ(S_OK, graphClasses_->Status());
  }
  static void TearDownTestSuite() {
    delete graphClasses_;
    CoUninitialize();
  }

  static inline InProcessGraphClasses* graphClasses_ = nullptr;  // the graph and the mapper

  void SetUp() override { ASSERT_EQ(S_OK, CallExport(RECORDER_FILTERS_MODULE, "DllRegisterServer")); }
};

TEST_F(RecorderFiltersModule, RegistersClassesFilesAndMapperEntries) {
  const std::string source = GuidToString(CLSID_RecorderFileSource);
  for (const GUID* clsid : {&CLSID_RecorderFileSource, &CLSID_RecorderVideoDecoder,
                            &CLSID_RecorderAudioDecoder}) {
    const std::string key = "CLSID\\" + GuidToString(*clsid) + "\\InprocServer32";
    EXPECT_EQ(RECORDER_FILTERS_MODULE, reg::GetString(HKEY_CLASSES_ROOT, key, ""));
    EXPECT_EQ("Both", reg::GetString(HKEY_CLASSES_ROOT, key, "ThreadingModel"));
  }
  EXPECT_EQ("0,4,,34484C51", reg::GetString(HKEY_CLASSES_ROOT, CheckBytesKey(), "0"));  // "4HLQ"
  EXPECT_EQ(source, reg::GetString(HKEY_CLASSES_ROOT, CheckBytesKey(), "Source Filter"));
  for (const char* extension : {".mp4", ".264", ".qrl"}) {
    EXPECT_EQ(source, reg::GetString(HKEY_CLASSES_ROOT,
                                     std::string("Media Type\\Extensions\\") + extension,
                                     "Source Filter"));
  }
  // The mapper finds the video decoder for the recorder video type.
  ComPtr<IFilterMapper2> mapper;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IFilterMapper2, mapper.ReleaseAndGetVoidAddress()));
  const GUID videoType[] = {MEDIATYPE_RecorderStream, MEDIASUBTYPE_RecorderVideo2};
  ComPtr<IEnumMoniker> found;
  ASSERT_EQ(S_OK, mapper->EnumMatchingFilters(found.GetAddressOf(), 0, TRUE, MERIT_DO_NOT_USE,
                                              TRUE, 1, videoType, nullptr, nullptr, FALSE, FALSE,
                                              0, nullptr, nullptr, nullptr));
  IMoniker* moniker = nullptr;
  EXPECT_EQ(S_OK, found->Next(1, &moniker, nullptr));
  if (moniker) moniker->Release();

  ASSERT_EQ(S_OK, CallExport(RECORDER_FILTERS_MODULE, "DllUnregisterServer"));
  EXPECT_FALSE(reg::KeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + source));
  EXPECT_FALSE(reg::KeyExists(HKEY_CLASSES_ROOT, CheckBytesKey()));
  EXPECT_FALSE(reg::KeyExists(HKEY_CLASSES_ROOT, "Media Type\\Extensions\\.qrl"));
}

TEST_F(RecorderFiltersModule, CreatesEachFilterThroughTheRegistry) {
  recgen::Options options = SmallRecording("module.qrl");
  options.frames = 10;
  recgen::WriteRecording(options);
  ComPtr<IFileSourceFilter> source;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_RecorderFileSource, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IFileSourceFilter, source.ReleaseAndGetVoidAddress()));
  ASSERT_EQ(S_OK, source->Load(Utf8ToWide(options.output).c_str(), nullptr));
  ComPtr<IPin> video;
  ASSERT_EQ(S_OK, source.As<IBaseFilter>()->FindPin(u"Video", video.ReleaseAndGetAddressOf()));
  ComPtr<IMediaSeeking> seeking = video.As<IMediaSeeking>();
  ASSERT_TRUE(seeking);
  LONGLONG duration = 0;
  EXPECT_EQ(S_OK, seeking->GetDuration(&duration));
  EXPECT_EQ(10 * kFrame25, duration);
  for (const GUID* clsid : {&CLSID_RecorderVideoDecoder, &CLSID_RecorderAudioDecoder}) {
    ComPtr<IBaseFilter> decoder;
    EXPECT_EQ(S_OK, CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     decoder.ReleaseAndGetVoidAddress()));
  }
}

LONG RenderedSamples(IGraphBuilder* graph, REFCLSID renderer, REFERENCE_TIME* lastStart) {
  ComPtr<IEnumFilters> filters;
  graph->EnumFilters(filters.GetAddressOf());
  for (IBaseFilter* filter = nullptr; filters->Next(1, &filter, nullptr) == S_OK;) {
    ComPtr<IBaseFilter> owned;
    owned.Attach(filter);
    CLSID clsid{};
    owned->GetClassID(&clsid);
    ComPtr<IRenderStatistics> stats = owned.As<IRenderStatistics>();
    if (clsid != renderer || !stats) continue;
    LONG samples = 0;
    REFERENCE_TIME first = 0;
    stats->GetRenderStatistics(&samples, &first, lastStart);
    return samples;
  }
  return -1;
}

bool HasFilter(IGraphBuilder* graph, REFCLSID wanted) {
  ComPtr<IEnumFilters> filters;
  graph->EnumFilters(filters.GetAddressOf());
  bool found = false;
  for (IBaseFilter* filter = nullptr; filters->Next(1, &filter, nullptr) == S_OK;) {
    CLSID clsid{};
    filter->GetClassID(&clsid);
    found = found || clsid == wanted;
    filter->Release();
  }
  return found;
}

TEST_F(RecorderFiltersModule, RenderFileBuildsSourceDecodersAndRenderersAndPlaysThrough) {
  ASSERT_EQ(S_OK, CallExport(RECORDER_TEST_RENDERERS_MODULE, "DllRegisterServer"));
  recgen::Options options = SmallRecording("render.mp4");
  options.frames = 25;
  options.codec = recgen::VideoCodec::Mpeg4Sh;
  options.audioCode = recorder::kAudioG711A;
  const recgen::RecordingSummary summary = recgen::WriteRecording(options);

  ComPtr<IGraphBuilder> graph;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IGraphBuilder, graph.ReleaseAndGetVoidAddress()));
  ASSERT_EQ(S_OK, graph->RenderFile(Utf8ToWide(options.output).c_str(), nullptr));
  for (const GUID* clsid : {&CLSID_RecorderFileSource, &CLSID_RecorderVideoDecoder,
                            &CLSID_RecorderAudioDecoder, &CLSID_RecorderTestVideoRenderer,
                            &CLSID_RecorderTestAudioRenderer})
    EXPECT_TRUE(HasFilter(graph.Get(), *clsid)) << GuidToString(*clsid);
  LONGLONG duration = 0;
  ASSERT_EQ(S_OK, graph.As<IMediaSeeking>()->GetDuration(&duration));
  EXPECT_EQ(summary.duration, duration);

  ASSERT_EQ(S_OK, graph.As<IMediaControl>()->Run());
  LONG event = 0;
  EXPECT_EQ(S_OK, graph.As<IMediaEventEx>()->WaitForCompletion(kCompletionWaitMs, &event));
  EXPECT_EQ(EC_COMPLETE, event);
  REFERENCE_TIME lastFrame = 0;
  REFERENCE_TIME lastBlock = 0;
  EXPECT_EQ(summary.frames, RenderedSamples(graph.Get(), CLSID_RecorderTestVideoRenderer, &lastFrame));
  EXPECT_EQ(summary.audioBlocks,
            RenderedSamples(graph.Get(), CLSID_RecorderTestAudioRenderer, &lastBlock));
  EXPECT_EQ((summary.frames - 1) * kFrame25, lastFrame);
  EXPECT_EQ((summary.audioBlocks - 1) * recorder::kAudioBlockDuration, lastBlock);
  graph.As<IMediaControl>()->Stop();
}

}  // namespace
TEST(RecorderFiltersModuleUnload, GoesWhenItsLastFilterIsReleased) {
  EXPECT_TRUE(CreatesAndUnloads(CLSID_RecorderFileSource, RECORDER_FILTERS_MODULE));
}

}  // namespace vendor::testing
