// MonikerBase: the parts every moniker here shares. A moniker is known by its display name:
// equality and hashing follow it. Derive from it; must override DisplayName; may override
// BindToObject and BindToStorage (the base cannot bind: MK_E_NOOBJECT). The persistence,
// composition and parsing methods are not used by this platform and answer E_NOTIMPL.
#pragma once

#include <string>

#include "ComBase.h"
#include "OleInterfaces.h"
#include "SnapshotEnum.h"

class MonikerBase : public CUnknown, public IMoniker {
 public:
  explicit MonikerBase(const char* name) : CUnknown(name, nullptr) {}

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  virtual std::u16string DisplayName() const = 0;

  HRESULT GetClassID(CLSID* pClassID) override;
  HRESULT IsDirty() override { return S_FALSE; }
  HRESULT Load(IStream*) override { return E_NOTIMPL; }
  HRESULT Save(IStream*, BOOL) override { return E_NOTIMPL; }
  HRESULT GetSizeMax(ULONGLONG*) override { return E_NOTIMPL; }

  HRESULT BindToObject(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riid, void** ppv) override;
  HRESULT BindToStorage(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riid, void** ppv) override;
  HRESULT Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker**) override { return E_NOTIMPL; }
  HRESULT ComposeWith(IMoniker*, BOOL, IMoniker**) override { return E_NOTIMPL; }
  HRESULT Enum(BOOL, IEnumMoniker** ppenum) override;
  // S_OK when the other moniker's display name is the same (case-insensitively).
  HRESULT IsEqual(IMoniker* pmkOtherMoniker) override;
  HRESULT Hash(DWORD* pdwHash) override;
  HRESULT IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return E_NOTIMPL; }
  HRESULT GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override { return E_NOTIMPL; }
  HRESULT Inverse(IMoniker**) override { return E_NOTIMPL; }
  HRESULT CommonPrefixWith(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
  HRESULT RelativePathTo(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
  HRESULT GetDisplayName(IBindCtx* pbc, IMoniker* pmkToLeft, LPOLESTR* ppszDisplayName) override;
  HRESULT ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG*, IMoniker**) override {
    return E_NOTIMPL;
  }
  HRESULT IsSystemMoniker(DWORD* pdwMksys) override;
};

// A CoTaskMemAlloc'd copy of `text` for an out-parameter; E_POINTER / E_OUTOFMEMORY.
HRESULT CopyToTaskMem(const std::u16string& text, LPOLESTR* out);
// The display name of any moniker, empty when it has none.
std::u16string MonikerDisplayName(IMoniker* moniker);

// An IEnumMoniker over a fixed list of monikers.
using MonikerSnapshotEnum = SnapshotEnum<IEnumMoniker, InterfaceTraits<IMoniker>>;
