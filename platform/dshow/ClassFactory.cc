#include "ClassFactory.h"

namespace {

__attribute__((visibility("hidden"))) std::atomic<LONG> g_serverLocks{0};

}  // namespace

CClassFactory::CClassFactory(const CFactoryTemplate* factoryTemplate)
    : CBaseObject("CClassFactory"), m_pTemplate(factoryTemplate) {}

HRESULT CClassFactory::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IClassFactory) {
    return GetInterface(static_cast<IClassFactory*>(this), ppv);
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG CClassFactory::AddRef() { return static_cast<ULONG>(++m_cRef); }

ULONG CClassFactory::Release() {
  const LONG count = --m_cRef;
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

HRESULT CClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer && riid != IID_IUnknown) return E_NOINTERFACE;
  HRESULT hr = S_OK;
  CUnknown* object = m_pTemplate->m_lpfnNew(outer, &hr);
  if (!object) return FAILED(hr) ? hr : E_OUTOFMEMORY;
  if (FAILED(hr)) {
    delete object;
    return hr;
  }
  // Hold the object across the query, so a refused interface deletes it.
  object->NonDelegatingAddRef();
  hr = object->NonDelegatingQueryInterface(riid, ppv);
  object->NonDelegatingRelease();
  return hr;
}

HRESULT CClassFactory::LockServer(BOOL lock) {
  if (lock) {
    ++g_serverLocks;
  } else {
    --g_serverLocks;
  }
  return S_OK;
}

bool CClassFactory::IsLocked() { return g_serverLocks > 0; }

HRESULT AMGetClassObject(std::span<const CFactoryTemplate> templates, REFCLSID clsid, REFIID riid,
                         void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
  for (const CFactoryTemplate& entry : templates) {
    if (!entry.IsClassID(clsid)) continue;
    auto* factory = new CClassFactory(&entry);
    return GetInterface(static_cast<IClassFactory*>(factory), ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT AMCanUnloadNow() {
  return CClassFactory::IsLocked() || CBaseObject::ObjectsActive() > 0 ? S_FALSE : S_OK;
}
