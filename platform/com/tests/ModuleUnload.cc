#include "ModuleUnload.h"

#include <dlfcn.h>

#include "ComPtr.h"
#include "ComRuntime.h"
#include "Registry.h"
#include "ScopedTestRegistry.h"

bool ModuleLoaded(const char* path) {
  void* handle = dlopen(path, RTLD_LAZY | RTLD_NOLOAD);
  if (handle) dlclose(handle);
  return handle != nullptr;
}

::testing::AssertionResult CreatesAndUnloads(REFCLSID clsid, const char* path) {
  if (ModuleLoaded(path)) return ::testing::AssertionFailure() << path << " is loaded already";
  ScopedTestRegistry registry;
  const std::string key = "CLSID\\" + GuidToString(clsid) + "\\InprocServer32";
  if (reg::SetString(HKEY_CLASSES_ROOT, key, "", path) != ERROR_SUCCESS)
    return ::testing::AssertionFailure() << "cannot register " << path;
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
    return ::testing::AssertionFailure() << "CoInitializeEx failed";
  ::testing::AssertionResult result = ::testing::AssertionSuccess();
  {
    ComPtr<IUnknown> object;
    const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                        object.ReleaseAndGetVoidAddress());
    if (FAILED(hr))
      result = ::testing::AssertionFailure() << "CoCreateInstance failed: " << static_cast<unsigned long>(hr);
    else if (!ModuleLoaded(path))
      result = ::testing::AssertionFailure() << path << " was not loaded for its object";
  }
  CoFreeUnusedLibraries();
  if (result && ModuleLoaded(path))
    result = ::testing::AssertionFailure() << path << " stays loaded after its last object";
  CoUninitialize();
  return result;
}
