// libRecorderFilters: the recorder file source and the recorder video and audio decoders as
// an in-process COM server with the four module exports.
#include <dlfcn.h>

#include <atomic>
#include <new>

#include "ComBase.h"
#include "ComRuntime.h"
#include "ModuleRegistration.h"
#include "RecorderAudioDecoder.h"
#include "RecorderFileSource.h"
#include "RecorderFilterIds.h"
#include "RecorderVideoDecoderFilter.h"

namespace vendor {
namespace {

using CreateFunction = CUnknown* (*)(IUnknown* outer, HRESULT* phr);

struct ClassEntry {
  const GUID* clsid;
  CreateFunction create;
};
constexpr ClassEntry kEntries[] = {
    {&CLSID_RecorderFileSource, RecorderFileSource::CreateInstance},
    {&CLSID_RecorderVideoDecoder, RecorderVideoDecoderFilter::CreateInstance},
    {&CLSID_RecorderAudioDecoder, RecorderAudioDecoder::CreateInstance},
};

std::atomic<LONG> g_serverLocks{0};  // LockServer(TRUE) calls not yet undone

// The class object of one filter class.
class FilterFactory final : public CUnknown, public IClassFactory {
 public:
  explicit FilterFactory(CreateFunction create) : CUnknown("FilterFactory", nullptr), create_(create) {}

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IClassFactory) return GetInterface(static_cast<IClassFactory*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
  }

  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    HRESULT hr = S_OK;
    CUnknown* object = create_(outer, &hr);
    if (!object) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    object->NonDelegatingAddRef();
    if (SUCCEEDED(hr)) hr = object->NonDelegatingQueryInterface(riid, ppv);
    object->NonDelegatingRelease();
    return hr;
  }

  HRESULT LockServer(BOOL lock) override {
    g_serverLocks += lock ? 1 : -1;
    return S_OK;
  }

 private:
  const CreateFunction create_;
};

std::string ModulePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModulePath), &info) == 0 || !info.dli_fname) return {};
  return info.dli_fname;
}

}  // namespace
}  // namespace vendor

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (const vendor::ClassEntry& entry : vendor::kEntries) {
    if (*entry.clsid != clsid) continue;
    if (riid != IID_IClassFactory && riid != IID_IUnknown) return E_NOINTERFACE;
    auto* factory = new (std::nothrow) vendor::FilterFactory(entry.create);
    if (!factory) return E_OUTOFMEMORY;
    factory->NonDelegatingAddRef();
    const HRESULT hr = factory->NonDelegatingQueryInterface(riid, ppv);
    factory->NonDelegatingRelease();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
  return CBaseObject::ObjectsActive() == 0 && vendor::g_serverLocks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
  const std::string path = vendor::ModulePath();
  if (path.empty()) return E_FAIL;
  return vendor::RegisterRecorderFilters(path);
}

STDAPI DllUnregisterServer() { return vendor::UnregisterRecorderFilters(); }
