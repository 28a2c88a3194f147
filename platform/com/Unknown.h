// IUnknown, the root of every COM interface. Interfaces are abstract structs whose methods
// keep the order of their Windows declarations; each names its IID as `kIid`, which
// __uuidof(T) and ComPtr use.
#pragma once

#include "Guid.h"
#include "HResult.h"

#define __uuidof(T) (T::kIid)

DEFINE_GUID(IID_IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x46);
DEFINE_GUID(IID_IClassFactory, 0x00000001, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x00, 0x46);

struct IUnknown {
  static constexpr const GUID& kIid = IID_IUnknown;
  virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;  // objects are destroyed by Release, never through an interface
};

struct IClassFactory : IUnknown {
  static constexpr const GUID& kIid = IID_IClassFactory;
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// The answer of QueryInterface for an interface an object implements: AddRef and hand out.
template <typename T>
HRESULT GetInterface(T* object, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = object;
  object->AddRef();
  return S_OK;
}
