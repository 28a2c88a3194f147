// The moniker of a registered filter instance (what the device enumerator and
// IFilterMapper2::EnumMatchingFilters hand out) and the property bag over its registry key.
//
// Display name: "@device:sw:{category}\instance". BindToStorage(IPropertyBag) reads the values
// of the instance key ("FriendlyName", "CLSID" as text); BindToObject creates the filter from
// its "CLSID" through CoCreateInstance.
#pragma once

#include "MonikerBase.h"

class DeviceMoniker final : public MonikerBase {
 public:
  DeviceMoniker(const GUID& category, std::u16string instance)
      : MonikerBase("DeviceMoniker"), category_(category), instance_(std::move(instance)) {}

  // A new moniker with one reference.
  static HRESULT Create(const GUID& category, const std::u16string& instance, IMoniker** out);

  std::u16string DisplayName() const override;
  HRESULT BindToObject(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riid, void** ppv) override;
  HRESULT BindToStorage(IBindCtx* pbc, IMoniker* pmkToLeft, REFIID riid, void** ppv) override;

 private:
  const GUID category_;
  const std::u16string instance_;
};

// Reads string and DWORD values of one registry key (under HKEY_CLASSES_ROOT) as VT_BSTR and
// VT_I4. Writing is not allowed (E_ACCESSDENIED): registration goes through the mapper.
class RegistryPropertyBag final : public CUnknown, public IPropertyBag {
 public:
  explicit RegistryPropertyBag(std::string keyPath)
      : CUnknown("RegistryPropertyBag", nullptr), keyPath_(std::move(keyPath)) {}

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // E_INVALIDARG for a missing value or one that cannot be given as the asked type.
  HRESULT Read(LPCOLESTR pszPropName, VARIANT* pVar, IErrorLog* pErrorLog) override;
  HRESULT Write(LPCOLESTR pszPropName, VARIANT* pVar) override;

 private:
  const std::string keyPath_;
};
