#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "ComPtr.h"
#include "ComRuntime.h"
#include "DebugOutput.h"
#include "Registry.h"
#include "ScopedTestRegistry.h"
#include "TestModuleIds.h"

namespace {

DEFINE_GUID(CLSID_Unregistered, 0x11111111, 0x2222, 0x3333, 0x44, 0x44, 0x55, 0x55, 0x55, 0x55,
            0x55, 0x55);

std::string ServerKey(REFCLSID clsid) {
  return "CLSID\\" + GuidToString(clsid) + "\\InprocServer32";
}

bool ModuleLoaded() {
  void* handle = dlopen(TEST_MODULE_PATH, RTLD_LAZY | RTLD_NOLOAD);
  if (handle) dlclose(handle);
  return handle != nullptr;
}

int ModuleLoads() {
  const char* loads = std::getenv(kTestModuleLoadsVariable);
  return loads ? std::atoi(loads) : 0;
}

long LiveObjects() {
  void* handle = dlopen(TEST_MODULE_PATH, RTLD_LAZY | RTLD_NOLOAD);
  if (!handle) return -1;
  auto count = reinterpret_cast<long (*)()>(dlsym(handle, "TestModuleObjects"));
  const long objects = count ? count() : -1;
  dlclose(handle);
  return objects;
}

class ComRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    ASSERT_EQ(reg::SetString(HKEY_CLASSES_ROOT, ServerKey(CLSID_TestObject), "", TEST_MODULE_PATH),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    CoUninitialize();
    CoFreeUnusedLibraries();
  }

  ScopedTestRegistry registry_;
};

TEST_F(ComRuntimeTest, LoadsModuleOnceAndUnloadsOnlyAfterLastRelease) {
  const int loads_before = ModuleLoads();
  ComPtr<IUnknown> first, second;
  ASSERT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             first.ReleaseAndGetVoidAddress()),
            S_OK);
  ASSERT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_ALL, IID_IUnknown,
                             second.ReleaseAndGetVoidAddress()),
            S_OK);
  EXPECT_EQ(ModuleLoads(), loads_before + 1);
  EXPECT_EQ(LiveObjects(), 2);

  CoFreeUnusedLibraries();
  EXPECT_TRUE(ModuleLoaded());
  first.Reset();
  CoFreeUnusedLibraries();
  EXPECT_TRUE(ModuleLoaded());
  EXPECT_EQ(LiveObjects(), 1);
  second.Reset();
  CoFreeUnusedLibraries();
  EXPECT_FALSE(ModuleLoaded());

  // A later activation loads the module again.
  ASSERT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             first.ReleaseAndGetVoidAddress()),
            S_OK);
  EXPECT_EQ(ModuleLoads(), loads_before + 2);
}

TEST_F(ComRuntimeTest, ModuleSharesTheProgramsRuntime) {
  std::string captured;
  SetDebugCapture([&](std::string_view text) { captured += text; });
  ComPtr<IUnknown> object;
  ASSERT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             object.ReleaseAndGetVoidAddress()),
            S_OK);
  SetDebugCapture(nullptr);
  EXPECT_EQ(captured, "TestObject: created\n");
}

TEST_F(ComRuntimeTest, ServerLockKeepsModuleLoaded) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(CLSID_TestObject, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             factory.ReleaseAndGetVoidAddress()),
            S_OK);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  factory.Reset();
  CoFreeUnusedLibraries();
  EXPECT_TRUE(ModuleLoaded());

  ASSERT_EQ(CoGetClassObject(CLSID_TestObject, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             factory.ReleaseAndGetVoidAddress()),
            S_OK);
  factory->LockServer(FALSE);
  factory.Reset();
  CoFreeUnusedLibraries();
  EXPECT_FALSE(ModuleLoaded());
}

TEST_F(ComRuntimeTest, ActivationFailuresHaveTheirCodes) {
  void* object = &object;
  EXPECT_EQ(
      CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
      REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);

  // The class key exists but names no module that can be loaded.
  ASSERT_EQ(reg::SetString(HKEY_CLASSES_ROOT, ServerKey(CLSID_Unregistered), "",
                           "/nonexistent/libNothing.so"),
            ERROR_SUCCESS);
  EXPECT_EQ(
      CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
      CO_E_DLLNOTFOUND);
  ASSERT_EQ(reg::SetString(HKEY_CLASSES_ROOT, ServerKey(CLSID_Unregistered), "", ""),
            ERROR_SUCCESS);
  EXPECT_EQ(
      CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
      CO_E_DLLNOTFOUND);
  // A loadable library that is no COM server.
  ASSERT_EQ(reg::SetString(HKEY_CLASSES_ROOT, ServerKey(CLSID_Unregistered), "", "libm.so.6"),
            ERROR_SUCCESS);
  EXPECT_EQ(
      CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
      CO_E_ERRORINDLL);

  // The module refuses a class it does not serve, and aggregation.
  ASSERT_EQ(reg::SetString(HKEY_CLASSES_ROOT, ServerKey(CLSID_Unregistered), "", TEST_MODULE_PATH),
            ERROR_SUCCESS);
  EXPECT_EQ(
      CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
      CLASS_E_CLASSNOTAVAILABLE);
  ComPtr<IUnknown> outer;
  ASSERT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             outer.ReleaseAndGetVoidAddress()),
            S_OK);
  EXPECT_EQ(CoCreateInstance(CLSID_TestObject, outer, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            CLASS_E_NOAGGREGATION);
  // Only in-process servers exist.
  EXPECT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG);
}

TEST_F(ComRuntimeTest, ActivationNeedsAnInitialisedThread) {
  EXPECT_EQ(CoInitialize(nullptr), RPC_E_CHANGED_MODE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
  CoUninitialize();
  CoUninitialize();
  void* object = nullptr;
  EXPECT_EQ(
      CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
      CO_E_NOTINITIALIZED);
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
}

// A class object the process offers itself, found before the registry is consulted.
class LocalFactory final : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    return GetInterface(static_cast<IClassFactory*>(this), ppv);
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  HRESULT CreateInstance(IUnknown*, REFIID, void**) override {
    ++created;
    return E_NOTIMPL;
  }
  HRESULT LockServer(BOOL) override { return S_OK; }
  ULONG refs = 0;
  int created = 0;
};

TEST_F(ComRuntimeTest, RegisteredClassObjectsServeUntilRevoked) {
  LocalFactory factory;
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_Unregistered, &factory, CLSCTX_INPROC_SERVER,
                                  REGCLS_MULTIPLEUSE, &cookie),
            S_OK);
  void* object = nullptr;
  EXPECT_EQ(
      CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
      E_NOTIMPL);
  EXPECT_EQ(factory.created, 1);
  EXPECT_EQ(factory.refs, 1u);  // the registration's own reference
  EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
  EXPECT_EQ(factory.refs, 0u);
  EXPECT_EQ(CoRevokeClassObject(cookie), CO_E_OBJNOTREG);
  EXPECT_EQ(
      CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
      REGDB_E_CLASSNOTREG);
}

TEST(CoTaskMemTest, ReallocKeepsContentsAndZeroSizeFrees) {
  auto* block = static_cast<char*>(CoTaskMemAlloc(4));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "abc", 4);
  block = static_cast<char*>(CoTaskMemRealloc(block, 4096));
  ASSERT_NE(block, nullptr);
  EXPECT_STREQ(block, "abc");
  EXPECT_EQ(CoTaskMemRealloc(block, 0), nullptr);
  CoTaskMemFree(nullptr);
  void* empty = CoTaskMemAlloc(0);
  EXPECT_NE(empty, nullptr);
  CoTaskMemFree(empty);
}

}  // namespace
