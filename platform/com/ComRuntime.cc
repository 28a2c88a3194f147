#include "ComRuntime.h"

#include <dlfcn.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ClassRegistry.h"
#include "DebugOutput.h"

namespace {

// Apartment bookkeeping: how often this thread initialised, in which model, and how many
// threads of the process are initialised now.
thread_local unsigned thread_inits = 0;
thread_local DWORD thread_model = COINIT_MULTITHREADED;
std::atomic<int> initialised_threads{0};

constexpr DWORD kConcurrencyModelMask = COINIT_APARTMENTTHREADED;

struct LoadedModule {
  void* handle = nullptr;
  LPFNGETCLASSOBJECT get_class_object = nullptr;
  LPFNCANUNLOADNOW can_unload_now = nullptr;  // null: the module stays loaded
  int activations = 0;                        // calls into get_class_object under way
};

// Modules loaded by path. Module code runs without modules_mutex held, except
// DllCanUnloadNow, which only reads the module's own counters. An activation in progress
// keeps its module loaded even if DllCanUnloadNow would allow unloading.
class ModuleCache {
 public:
  // Loads `path` unless loaded and counts an activation; End must follow.
  HRESULT Begin(const std::string& path, LPFNGETCLASSOBJECT* get_class_object) {
    std::lock_guard lock(mutex_);
    auto it = modules_.find(path);
    if (it == modules_.end()) {
      LoadedModule module;
      if (const HRESULT hr = Load(path, module); FAILED(hr)) return hr;
      it = modules_.emplace(path, module).first;
    }
    ++it->second.activations;
    *get_class_object = it->second.get_class_object;
    return S_OK;
  }

  void End(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (auto it = modules_.find(path); it != modules_.end()) --it->second.activations;
  }

  void FreeUnused() {
    std::lock_guard lock(mutex_);
    for (auto it = modules_.begin(); it != modules_.end();) {
      const LoadedModule& module = it->second;
      if (module.activations == 0 && module.can_unload_now && module.can_unload_now() == S_OK) {
        dlclose(module.handle);
        it = modules_.erase(it);
      } else {
        ++it;
      }
    }
  }

 private:
  static HRESULT Load(const std::string& path, LoadedModule& module) {
    module.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module.handle) {
      const char* reason = dlerror();
      OutputDebugStringA(
          ("COM: cannot load " + path + ": " + (reason ? reason : "") + "\n").c_str());
      return CO_E_DLLNOTFOUND;
    }
    module.get_class_object =
        reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(module.handle, "DllGetClassObject"));
    module.can_unload_now =
        reinterpret_cast<LPFNCANUNLOADNOW>(dlsym(module.handle, "DllCanUnloadNow"));
    if (!module.get_class_object) {
      OutputDebugStringA(("COM: " + path + " exports no DllGetClassObject\n").c_str());
      dlclose(module.handle);
      return CO_E_ERRORINDLL;
    }
    return S_OK;
  }

  std::mutex mutex_;
  std::map<std::string, LoadedModule> modules_;  // guarded by mutex_
};

ModuleCache& Modules() {
  static ModuleCache cache;
  return cache;
}

struct RegisteredClass {
  DWORD cookie;
  CLSID clsid;
  IUnknown* object;  // one reference held until revoked
};

std::mutex classes_mutex;
std::vector<RegisteredClass> registered_classes;  // guarded by classes_mutex
DWORD next_cookie = 0;                            // guarded by classes_mutex

// The class object the process registered for `clsid`, with a new reference, or null.
IUnknown* FindRegisteredClass(REFCLSID clsid) {
  std::lock_guard lock(classes_mutex);
  for (const RegisteredClass& entry : registered_classes) {
    if (entry.clsid == clsid) {
      entry.object->AddRef();
      return entry.object;
    }
  }
  return nullptr;
}

HRESULT GetModuleClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  std::string path;
  if (const HRESULT hr = InprocServerPath(clsid, path); FAILED(hr)) return hr;
  LPFNGETCLASSOBJECT get_class_object = nullptr;
  if (const HRESULT hr = Modules().Begin(path, &get_class_object); FAILED(hr)) return hr;
  const HRESULT hr = get_class_object(clsid, riid, ppv);
  Modules().End(path);
  return hr;
}

}  // namespace

HRESULT CoInitialize(LPVOID reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(LPVOID reserved, DWORD coinit) {
  if (reserved) return E_INVALIDARG;
  const DWORD model = coinit & kConcurrencyModelMask;
  if (thread_inits > 0) {
    if (model != thread_model) return RPC_E_CHANGED_MODE;
    ++thread_inits;
    return S_FALSE;
  }
  thread_model = model;
  thread_inits = 1;
  ++initialised_threads;
  return S_OK;
}

void CoUninitialize() {
  if (thread_inits == 0 || --thread_inits > 0) return;
  if (--initialised_threads == 0) CoFreeUnusedLibraries();
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsctx, LPVOID server_info, REFIID riid,
                         LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (server_info) return E_INVALIDARG;
  if (initialised_threads.load() == 0) return CO_E_NOTINITIALIZED;
  if (!(clsctx & CLSCTX_INPROC)) return REGDB_E_CLASSNOTREG;
  if (IUnknown* registered = FindRegisteredClass(clsid)) {
    const HRESULT hr = registered->QueryInterface(riid, ppv);
    registered->Release();
    return hr;
  }
  if (!(clsctx & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  return GetModuleClassObject(clsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD clsctx, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(clsid, clsctx, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(outer, riid, ppv);
  factory->Release();
  return hr;
}

HRESULT CoRegisterClassObject(REFCLSID clsid, LPUNKNOWN factory, DWORD, DWORD, LPDWORD cookie) {
  if (!factory || !cookie) return E_INVALIDARG;
  factory->AddRef();
  std::lock_guard lock(classes_mutex);
  *cookie = ++next_cookie;
  registered_classes.push_back({*cookie, clsid, factory});
  return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
  IUnknown* object = nullptr;
  {
    std::lock_guard lock(classes_mutex);
    for (auto it = registered_classes.begin(); it != registered_classes.end(); ++it) {
      if (it->cookie == cookie) {
        object = it->object;
        registered_classes.erase(it);
        break;
      }
    }
  }
  if (!object) return CO_E_OBJNOTREG;
  object->Release();
  return S_OK;
}

void CoFreeUnusedLibraries() { Modules().FreeUnused(); }
