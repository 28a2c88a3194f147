// The module as COM sees it: registration into a private registry, activation of each filter
// through the registry, unloading, and unregistration.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "ComPtr.h"
#include "ComRuntime.h"
#include "ControlInterfaces.h"
#include "Filter.h"
#include "MediaGuids.h"
#include "RecorderFilterIds.h"
#include "Recordings.h"
#include "Registry.h"
#include "WideString.h"
#include "recorder/RecorderMediaTypes.h"

namespace vendor::testing {
namespace {

using Export = HRESULT (*)();

class RecorderFiltersModule : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("RECAST_REGISTRY", (TestDir() / "registry.db").c_str(), 1);
    module_ = dlopen(RECORDER_FILTERS_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, module_) << dlerror();
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
  }
  void TearDown() override {
    CoUninitialize();
    if (module_) dlclose(module_);
    unsetenv("RECAST_REGISTRY");
  }
  HRESULT Call(const char* name) {
    const auto function = reinterpret_cast<Export>(dlsym(module_, name));
    return function ? function() : E_NOTIMPL;
  }

  void* module_ = nullptr;
};

TEST_F(RecorderFiltersModule, RegistersItsClassesAndTheRecorderFiles) {
  ASSERT_EQ(S_OK, Call("DllRegisterServer"));
  const std::string source = GuidToString(CLSID_RecorderFileSource);
  for (const GUID* clsid : {&CLSID_RecorderFileSource, &CLSID_RecorderVideoDecoder,
                            &CLSID_RecorderAudioDecoder}) {
    const std::string key = "CLSID\\" + GuidToString(*clsid) + "\\InprocServer32";
    EXPECT_EQ(RECORDER_FILTERS_MODULE, reg::GetString(HKEY_CLASSES_ROOT, key, ""));
    EXPECT_EQ("Both", reg::GetString(HKEY_CLASSES_ROOT, key, "ThreadingModel"));
  }
  const std::string checks = "Media Type\\" + GuidToString(MEDIATYPE_Stream) + "\\" +
                             GuidToString(MEDIASUBTYPE_RecorderStream);
  EXPECT_EQ("0,4,,34484C51", reg::GetString(HKEY_CLASSES_ROOT, checks, "0"));  // "4HLQ"
  EXPECT_EQ(source, reg::GetString(HKEY_CLASSES_ROOT, checks, "Source Filter"));
  for (const char* extension : {".mp4", ".264", ".qrl"}) {
    EXPECT_EQ(source, reg::GetString(HKEY_CLASSES_ROOT,
                                     std::string("Media Type\\Extensions\\") + extension,
                                     "Source Filter"));
  }

  ASSERT_EQ(S_OK, Call("DllUnregisterServer"));
  EXPECT_FALSE(reg::KeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + source));
  EXPECT_FALSE(reg::KeyExists(HKEY_CLASSES_ROOT, checks));
  EXPECT_FALSE(reg::KeyExists(HKEY_CLASSES_ROOT, "Media Type\\Extensions\\.qrl"));
}

TEST_F(RecorderFiltersModule, CreatesTheSourceThroughTheRegistry) {
  recgen::Options options = SmallRecording("module.qrl");
  options.frames = 10;
  recgen::WriteRecording(options);
  ASSERT_EQ(S_OK, Call("DllRegisterServer"));
  {
    ComPtr<IFileSourceFilter> source;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_RecorderFileSource, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IFileSourceFilter, source.ReleaseAndGetVoidAddress()));
    ASSERT_EQ(S_OK, source->Load(Utf8ToWide(options.output).c_str(), nullptr));
    ComPtr<IBaseFilter> filter = source.As<IBaseFilter>();
    ComPtr<IPin> video;
    ASSERT_EQ(S_OK, filter->FindPin(u"Video", video.ReleaseAndGetAddressOf()));
    ComPtr<IMediaSeeking> seeking = video.As<IMediaSeeking>();
    ASSERT_TRUE(seeking);
    LONGLONG duration = 0;
    EXPECT_EQ(S_OK, seeking->GetDuration(&duration));
    EXPECT_EQ(10 * kFrame25, duration);
    EXPECT_EQ(S_FALSE, Call("DllCanUnloadNow"));
    for (const GUID* clsid : {&CLSID_RecorderVideoDecoder, &CLSID_RecorderAudioDecoder}) {
      ComPtr<IBaseFilter> decoder;
      EXPECT_EQ(S_OK, CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                       decoder.ReleaseAndGetVoidAddress()));
    }
  }
  EXPECT_EQ(S_OK, Call("DllCanUnloadNow"));
}

}  // namespace
}  // namespace vendor::testing
