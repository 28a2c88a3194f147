#include "MonikerBase.h"

#include <cstring>

#include "WideString.h"

namespace {

constexpr DWORD kMksysNone = 0;
constexpr DWORD kHashMultiplier = 31;

}  // namespace

HRESULT CopyToTaskMem(const std::u16string& text, LPOLESTR* out) {
  if (!out) return E_POINTER;
  *out = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
  if (!*out) return E_OUTOFMEMORY;
  std::memcpy(*out, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
  return S_OK;
}

std::u16string MonikerDisplayName(IMoniker* moniker) {
  LPOLESTR name = nullptr;
  if (!moniker || FAILED(moniker->GetDisplayName(nullptr, nullptr, &name)) || !name) return {};
  std::u16string result(name);
  CoTaskMemFree(name);
  return result;
}

HRESULT MonikerBase::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IMoniker || riid == IID_IPersistStream || riid == IID_IPersist)
    return GetInterface(static_cast<IMoniker*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT MonikerBase::GetClassID(CLSID* pClassID) {
  if (!pClassID) return E_POINTER;
  *pClassID = GUID_NULL;
  return S_OK;
}

HRESULT MonikerBase::BindToObject(IBindCtx*, IMoniker*, REFIID, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  return MK_E_NOOBJECT;
}

HRESULT MonikerBase::BindToStorage(IBindCtx*, IMoniker*, REFIID, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  return MK_E_NOOBJECT;
}

HRESULT MonikerBase::Enum(BOOL, IEnumMoniker** ppenum) {
  if (!ppenum) return E_POINTER;
  *ppenum = nullptr;  // a simple moniker has no parts
  return S_OK;
}

HRESULT MonikerBase::IsEqual(IMoniker* other) {
  if (!other) return E_INVALIDARG;
  const std::u16string mine = DisplayName();
  const std::u16string theirs = MonikerDisplayName(other);
  return WideCompareNoCase(mine.c_str(), theirs.c_str()) == 0 ? S_OK : S_FALSE;
}

HRESULT MonikerBase::Hash(DWORD* pdwHash) {
  if (!pdwHash) return E_POINTER;
  DWORD hash = 0;
  for (WCHAR c : DisplayName()) hash = hash * kHashMultiplier + FoldCaseW(c);
  *pdwHash = hash;
  return S_OK;
}

HRESULT MonikerBase::GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* ppszDisplayName) {
  return CopyToTaskMem(DisplayName(), ppszDisplayName);
}

HRESULT MonikerBase::IsSystemMoniker(DWORD* pdwMksys) {
  if (!pdwMksys) return E_POINTER;
  *pdwMksys = kMksysNone;
  return S_FALSE;
}
