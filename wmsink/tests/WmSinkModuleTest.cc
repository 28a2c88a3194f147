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
#include "FilterData.h"
#include "FilterRegistry.h"
#include "GraphClasses.h"
#include "ModuleUnload.h"
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
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  {
    InProcessGraphClasses mapper;  // registration reaches the filter mapper through COM
    ASSERT_EQ(mapper.Status(), S_OK);
    ASSERT_EQ(reg(), S_OK);
  }
  const std::string key = "CLSID\\" + GuidToString(CLSID_WmSink);
  EXPECT_EQ(reg::GetString(HKEY_CLASSES_ROOT, key, ""), "ASF Writer");
  const auto path = reg::GetString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "");
  ASSERT_TRUE(path);
  EXPECT_EQ(std::filesystem::canonical(*path), std::filesystem::canonical(WMSINK_MODULE_PATH));
  EXPECT_EQ(reg::GetString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "ThreadingModel"), "Both");
  const std::string instance = filter_registry::InstanceKeyPath(
      CLSID_LegacyAmFilterCategory, filter_registry::DefaultInstanceName(CLSID_WmSink));
  const auto data = reg::GetValue(HKEY_CLASSES_ROOT, instance, "FilterData");
  ASSERT_TRUE(data);
  const auto record = DecodeFilterData(data->data);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->merit, 0x200000u);
  ASSERT_EQ(record->pins.size(), 2u);
  for (const PinRecord& pin : record->pins) {
    EXPECT_EQ(pin.name, u"Input");
    EXPECT_FALSE(pin.IsOutput());
    ASSERT_EQ(pin.types.size(), 1u);
    EXPECT_EQ(pin.types[0].major, GUID_NULL);
  }

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
  {
    InProcessGraphClasses mapper;
    ASSERT_EQ(unreg(), S_OK);
  }
  CoUninitialize();
  EXPECT_FALSE(reg::KeyExists(HKEY_CLASSES_ROOT, key));
  EXPECT_FALSE(reg::KeyExists(HKEY_CLASSES_ROOT, instance));
  dlclose(module);
  unsetenv("RECAST_REGISTRY");
  std::filesystem::remove(database);
}

TEST(WmSinkModuleTest, GoesWhenItsLastFilterIsReleased) {
  EXPECT_TRUE(CreatesAndUnloads(CLSID_WmSink, WMSINK_MODULE_PATH));
}

}  // namespace
