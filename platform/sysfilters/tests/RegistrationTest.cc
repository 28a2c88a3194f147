// The module registers its filters where applications look for them by friendly name, and COM
// creates them from there; unregistering removes them again.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "ComRuntime.h"
#include "MapperInterfaces.h"
#include "ModuleUnload.h"
#include "ScopedTestRegistry.h"
#include "SysFilterIds.h"
#include "TestKit.h"

using namespace filter_test;

namespace {

using RegisterFunction = HRESULT (*)();

HRESULT CallExport(const char* name) {
  void* module = dlopen(SYSFILTERS_MODULE, RTLD_NOW | RTLD_LOCAL);
  if (!module) return E_FAIL;
  auto call = reinterpret_cast<RegisterFunction>(dlsym(module, name));
  const HRESULT hr = call ? call() : E_FAIL;
  dlclose(module);
  return hr;
}

TEST(RegistrationTest, ModuleGoesWhenItsLastFilterIsReleased) {
  EXPECT_TRUE(CreatesAndUnloads(CLSID_AviDest, SYSFILTERS_MODULE));
}

}  // namespace

TEST(RegistrationTest, FiltersAreFoundByFriendlyNameAndCreatedThroughCom) {
  ScopedTestRegistry registry;
  ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  ASSERT_EQ(S_OK, CallExport("DllRegisterServer"));

  struct Expected {
    const GUID* category;
    const char16_t* name;
    const CLSID* clsid;
  };
  const Expected filters[] = {
      {&CLSID_LegacyAmFilterCategory, kAviMuxName, &CLSID_AviDest},
      {&CLSID_LegacyAmFilterCategory, kFileWriterName, &CLSID_FileWriter},
      {&CLSID_LegacyAmFilterCategory, kAviDecompressorName, &CLSID_AVIDec},
      {&CLSID_LegacyAmFilterCategory, kVideoRendererName, &CLSID_VideoRenderer},
      {&CLSID_AudioRendererCategory, kAudioRendererName, &CLSID_AudioRender}};
  for (const Expected& e : filters) {
    ComPtr<IBaseFilter> filter = CreateByFriendlyName(*e.category, e.name);
    ASSERT_TRUE(filter) << std::string(e.name, e.name + std::char_traits<char16_t>::length(e.name));
    CLSID clsid;
    filter->GetClassID(&clsid);
    EXPECT_EQ(*e.clsid, clsid);
  }
  // Names compare exactly.
  EXPECT_FALSE(CreateByFriendlyName(CLSID_LegacyAmFilterCategory, u"avi mux"));

  ASSERT_EQ(S_OK, CallExport("DllUnregisterServer"));
  EXPECT_FALSE(CreateByFriendlyName(CLSID_LegacyAmFilterCategory, kAviMuxName));
  CoUninitialize();
}
