// The module as COM loads it: registration into a private registry, creation through
// CoCreateInstance, and removal.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

#include "ComPtr.h"
#include "ComRuntime.h"
#include "FilterData.h"
#include "FilterRegistry.h"
#include "GraphClasses.h"
#include "Interfaces.h"
#include "ModuleUnload.h"
#include "Registry.h"
#include "SplitterFilter.h"

namespace {

class SplitterModule : public ::testing::Test {
 protected:
  void SetUp() override {
    database_ = std::filesystem::path(::testing::TempDir()) /
                ("splitter_module_test." + std::to_string(getpid()) + ".db");
    std::filesystem::remove(database_);
    ASSERT_EQ(setenv("RECAST_REGISTRY", database_.c_str(), 1), 0);
    module_ = dlopen(SPLITTER_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (module_) dlclose(module_);
    unsetenv("RECAST_REGISTRY");
    std::filesystem::remove(database_);
  }
  template <typename F>
  F* Export(const char* name) {
    return reinterpret_cast<F*>(dlsym(module_, name));
  }

  std::filesystem::path database_;
  void* module_ = nullptr;
};

TEST_F(SplitterModule, RegistersCreatesThroughComAndUnregisters) {
  using Entry = HRESULT();
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  InProcessGraphClasses mapper;  // registration reaches the filter mapper through COM
  ASSERT_EQ(mapper.Status(), S_OK);
  ASSERT_EQ(Export<Entry>("DllRegisterServer")(), S_OK);
  // Registering twice replaces the mapper entry rather than failing or doubling it.
  ASSERT_EQ(Export<Entry>("DllRegisterServer")(), S_OK);

  const std::string instance =
      filter_registry::InstanceKeyPath(CLSID_LegacyAmFilterCategory,
                                       filter_registry::DefaultInstanceName(CLSID_QrlNetSplitter));
  EXPECT_EQ(reg::GetString(HKEY_CLASSES_ROOT, instance, "FriendlyName"), "Quorel Net Splitter");
  const auto data = reg::GetValue(HKEY_CLASSES_ROOT, instance, "FilterData");
  ASSERT_TRUE(data);
  const auto record = DecodeFilterData(data->data);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->merit, 0x800000u);
  ASSERT_EQ(record->pins.size(), 3u);
  EXPECT_EQ(record->pins[0].name, u"Input");
  EXPECT_FALSE(record->pins[0].IsOutput());
  EXPECT_EQ(record->pins[0].connectsToPin, u"Output");
  EXPECT_EQ(record->pins[1].name, u"Video Output");
  EXPECT_EQ(record->pins[1].types.size(), 2u);
  EXPECT_EQ(record->pins[2].name, u"Audio Output");
  EXPECT_TRUE(record->pins[2].IsOutput());
  const std::string key = "CLSID\\" + GuidToString(CLSID_QrlNetSplitter);
  EXPECT_EQ(reg::GetString(HKEY_CLASSES_ROOT, key, ""), "Quorel Net Splitter");
  EXPECT_EQ(reg::GetString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", ""),
            std::filesystem::canonical(SPLITTER_MODULE_PATH).string());
  EXPECT_EQ(reg::GetString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "ThreadingModel"), "Both");

  {
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(CoCreateInstance(CLSID_QrlNetSplitter, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IBaseFilter, filter.ReleaseAndGetVoidAddress()),
              S_OK);
    ComPtr<IPin> pin;
    EXPECT_EQ(filter->FindPin(u"Stream Input", pin.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(filter->FindPin(u"Audio Out", pin.ReleaseAndGetAddressOf()), S_OK);
    CLSID clsid{};
    EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_QrlNetSplitter);
  }

  using GetClassObject = HRESULT(REFCLSID, REFIID, void**);
  void* factory = nullptr;
  EXPECT_EQ(Export<GetClassObject>("DllGetClassObject")(IID_IBaseFilter, IID_IClassFactory, &factory),
            CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_EQ(Export<Entry>("DllUnregisterServer")(), S_OK);
  EXPECT_FALSE(reg::KeyExists(HKEY_CLASSES_ROOT, key));
  EXPECT_FALSE(reg::KeyExists(HKEY_CLASSES_ROOT, instance));
  CoUninitialize();
}

TEST(SplitterModuleUnload, GoesWhenItsLastFilterIsReleased) {
  EXPECT_TRUE(CreatesAndUnloads(CLSID_QrlNetSplitter, SPLITTER_MODULE_PATH));
}

}  // namespace
