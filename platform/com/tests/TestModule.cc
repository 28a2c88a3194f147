// A minimal in-process server for the activation tests: one class whose objects count
// themselves, the two standard exports, and a counter of how often the module was loaded
// (kept in the environment, which survives unloading). It writes debug output through the
// runtime it shares with the test program.
#include <atomic>
#include <cstdlib>
#include <string>

#include "ComRuntime.h"
#include "DebugOutput.h"
#include "TestModuleIds.h"

namespace {

std::atomic<long> objects{0};
std::atomic<long> locks{0};

// Counts loads in the process environment, where the count outlives the module.
[[maybe_unused]] const bool counted_load = [] {
  const char* loads = std::getenv(kTestModuleLoadsVariable);
  setenv(kTestModuleLoadsVariable, std::to_string(loads ? std::atoi(loads) + 1 : 1).c_str(), 1);
  return true;
}();

class TestObject final : public IUnknown {
 public:
  TestObject() { ++objects; }
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown) return E_NOINTERFACE;
    return GetInterface(static_cast<IUnknown*>(this), ppv);
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  ~TestObject() { --objects; }
  std::atomic<ULONG> refs_{0};
};

class Factory final : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    return GetInterface(static_cast<IClassFactory*>(this), ppv);
  }
  // The factory is static; its references hold the module like a server lock.
  ULONG AddRef() override { return ++locks; }
  ULONG Release() override { return --locks; }
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    OutputDebugStringA("TestObject: created\n");
    auto* object = new TestObject;
    object->AddRef();
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
  HRESULT LockServer(BOOL lock) override {
    lock ? ++locks : --locks;
    return S_OK;
  }
};

Factory factory;

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (clsid != CLSID_TestObject) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return objects == 0 && locks == 0 ? S_OK : S_FALSE; }

extern "C" __attribute__((visibility("default"))) long TestModuleObjects() { return objects; }
