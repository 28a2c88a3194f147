// Class factories and the module entry points of a filter module.
//
// A module lists its classes in a table of CFactoryTemplate and writes its four exports as
// one-line calls:
//
//   const CFactoryTemplate g_Templates[] = {
//       {u"My Filter", &CLSID_MyFilter, CMyFilter::CreateInstance, &sudMyFilter}};
//   STDAPI DllGetClassObject(REFCLSID c, REFIID i, void** ppv) {
//     return AMGetClassObject(g_Templates, c, i, ppv);
//   }
//   STDAPI DllCanUnloadNow() { return AMCanUnloadNow(); }
//   STDAPI DllRegisterServer() { return AMRegisterServer(g_Templates); }      // Registration.h
//   STDAPI DllUnregisterServer() { return AMUnregisterServer(g_Templates); }
//
// Classes:
//   CFactoryTemplate  one class: friendly name, class identifier, creation function and the
//                     filter's registration data (for the filter mapper; may be null).
//   CClassFactory     the IClassFactory handed out for a template. Creation follows the
//                     aggregation rule (an outer object may only ask for IID_IUnknown).
#pragma once

#include <span>

#include "ComBase.h"

struct AMOVIESETUP_FILTER;

// Creates an object (reference count 0) or returns nullptr; may report a failure in *phr, in
// which case the object is deleted by the caller.
using LPFNNewCOMObject = CUnknown* (*)(IUnknown* outer, HRESULT* phr);

struct CFactoryTemplate {
  const WCHAR* m_Name;
  const CLSID* m_ClsID;
  LPFNNewCOMObject m_lpfnNew;
  const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter = nullptr;

  bool IsClassID(REFCLSID clsid) const { return *m_ClsID == clsid; }
};

class CClassFactory : public IClassFactory, public CBaseObject {
 public:
  explicit CClassFactory(const CFactoryTemplate* factoryTemplate);

  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // E_NOINTERFACE when an outer object asks for anything but IID_IUnknown; E_OUTOFMEMORY when
  // the object cannot be made; the creation function's failure as it is.
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  // Counts module locks: the module stays loaded while any is held.
  HRESULT LockServer(BOOL lock) override;

  // Any LockServer(TRUE) not yet undone in this module.
  static bool IsLocked();

 private:
  const CFactoryTemplate* const m_pTemplate;
  std::atomic<LONG> m_cRef{0};
};

// DllGetClassObject: E_NOINTERFACE unless IClassFactory or IUnknown is asked for;
// CLASS_E_CLASSNOTAVAILABLE for a class not in `templates`.
HRESULT AMGetClassObject(std::span<const CFactoryTemplate> templates, REFCLSID clsid, REFIID riid,
                         void** ppv);
// DllCanUnloadNow: S_OK only while no object of the module lives and no lock is held.
HRESULT AMCanUnloadNow();
