// The system device enumerator (CLSID_SystemDeviceEnum): the filters registered in a category,
// as monikers.
#pragma once

#include "ComBase.h"
#include "MapperInterfaces.h"

class DeviceEnumerator final : public CUnknown, public ICreateDevEnum {
 public:
  DeviceEnumerator() : CUnknown("DeviceEnumerator", nullptr) {}
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // S_FALSE with a null enumerator when the category holds no filter.
  HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** ppEnumMoniker,
                                DWORD dwFlags) override;
};
