#include "DeviceEnumerator.h"

#include "ComPtr.h"
#include "DeviceMoniker.h"
#include "FilterRegistry.h"
#include "SnapshotEnum.h"

CUnknown* DeviceEnumerator::CreateInstance(IUnknown* outer, HRESULT* phr) {
  if (outer) {
    *phr = CLASS_E_NOAGGREGATION;
    return nullptr;
  }
  auto* object = new (std::nothrow) DeviceEnumerator;
  if (!object) *phr = E_OUTOFMEMORY;
  return object;
}

HRESULT DeviceEnumerator::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_ICreateDevEnum) return GetInterface(static_cast<ICreateDevEnum*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT DeviceEnumerator::CreateClassEnumerator(REFCLSID category, IEnumMoniker** out, DWORD) {
  if (!out) return E_POINTER;
  *out = nullptr;
  std::vector<ComPtr<IMoniker>> monikers;
  for (const RegisteredFilter& filter : filter_registry::InCategory(category)) {
    ComPtr<IMoniker> moniker;
    if (HRESULT hr = DeviceMoniker::Create(category, filter.instance, moniker.GetAddressOf());
        FAILED(hr))
      return hr;
    monikers.push_back(std::move(moniker));
  }
  if (monikers.empty()) return S_FALSE;
  return MonikerSnapshotEnum::Create(std::move(monikers), out);
}
