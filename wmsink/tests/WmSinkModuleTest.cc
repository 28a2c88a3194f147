// The WmSink module as COM finds it: registration into a private registry, creation by class
// identifier, and unregistration.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ComPtr.h"
#include "ComRuntime.h"
#include "Registry.h"
#include "wmsink/WmSinkConfig.h"

namespace {

using Entry = HRESULT (*)();

TEST(WmSinkModuleTest, RegistersCreatesAndUnregisters) {
  const std::filesystem::path database =
      std::filesystem::path(::testing::TempDir()) /
      ("wmsink_module_test_registry." + std::to_string(getpid()) + ".db");
  std::filesystem::remove(database);
  ASSERT_EQ(setenv("RECAST_REGISTRY", database.c_str(), 1), 0);

  void* module = dlopen(WMSINK_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_TRUE(module) << dlerror();
  auto reg = reinterpret_cast<Entry>(dlsym(module, "DllRegisterServer"));
  auto unreg = reinterpret_cast<Entry>(dlsym(module, "DllUnregisterServer"));
  ASSERT_TRUE(reg && unreg);
  ASSERT_EQ(reg(), S_OK);
  const std::string key = "CLSID\\" + GuidToString(CLSID_WmSink);
  EXPECT_EQ(reg::GetString(HKEY_CLASSES_ROOT, key, ""), "ASF Writer");
  const auto path = reg::GetString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "");
  ASSERT_TRUE(path);
  EXPECT_EQ(std::filesystem::canonical(*path), std::filesystem::canonical(WMSINK_MODULE_PATH));
  EXPECT_EQ(reg::GetString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "ThreadingModel"), "Both");

  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  {
    ComPtr<IWmSinkConfig> config;
    ASSERT_EQ(CoCreateInstance(CLSID_WmSink, nullptr, CLSCTX_INPROC_SERVER, IID_IWmSinkConfig,
                               config.ReleaseAndGetVoidAddress()),
              S_OK);
    WmSinkConfig parameters{704, 576, 25, 1000000, TRUE, TRUE};
    EXPECT_EQ(config->SetConfig(&parameters), S_OK);
    DWORD frames = 7;
    EXPECT_EQ(config->GetWrittenFrames(0, &frames), S_OK);
    EXPECT_EQ(frames, 0u);
  }
  CoUninitialize();

  ASSERT_EQ(unreg(), S_OK);
  EXPECT_FALSE(reg::KeyExists(HKEY_CLASSES_ROOT, key));
  dlclose(module);
  unsetenv("RECAST_REGISTRY");
  std::filesystem::remove(database);
}

}  // namespace
