#include "DeviceMoniker.h"

#include "FilterRegistry.h"
#include "Registry.h"
#include "WideString.h"

namespace {

constexpr char16_t kDisplayPrefix[] = u"@device:sw:";

}  // namespace

HRESULT DeviceMoniker::Create(const GUID& category, const std::u16string& instance,
                              IMoniker** out) {
  if (!out) return E_POINTER;
  auto* moniker = new (std::nothrow) DeviceMoniker(category, instance);
  if (!moniker) return E_OUTOFMEMORY;
  return moniker->NonDelegatingQueryInterface(IID_IMoniker, reinterpret_cast<void**>(out));
}

std::u16string DeviceMoniker::DisplayName() const {
  return kDisplayPrefix + Utf8ToWide(GuidToString(category_)) + u"\\" + instance_;
}

HRESULT DeviceMoniker::BindToObject(IBindCtx*, IMoniker*, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  const auto text = reg::GetString(HKEY_CLASSES_ROOT,
                                   filter_registry::InstanceKeyPath(category_, instance_), "CLSID");
  if (!text) return MK_E_NOOBJECT;
  const auto clsid = GuidFromString(*text);
  if (!clsid) return CO_E_CLASSSTRING;
  return CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, riid, ppv);
}

HRESULT DeviceMoniker::BindToStorage(IBindCtx*, IMoniker*, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  const std::string path = filter_registry::InstanceKeyPath(category_, instance_);
  if (!reg::KeyExists(HKEY_CLASSES_ROOT, path)) return MK_E_NOOBJECT;
  auto* bag = new (std::nothrow) RegistryPropertyBag(path);
  if (!bag) return E_OUTOFMEMORY;
  bag->NonDelegatingAddRef();
  const HRESULT hr = bag->NonDelegatingQueryInterface(riid, ppv);
  bag->NonDelegatingRelease();
  return hr;
}

HRESULT RegistryPropertyBag::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IPropertyBag) return GetInterface(static_cast<IPropertyBag*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT RegistryPropertyBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
  if (!name || !value) return E_POINTER;
  const auto stored = reg::GetValue(HKEY_CLASSES_ROOT, keyPath_, WideToUtf8(name));
  if (!stored) return E_INVALIDARG;
  const VARTYPE wanted = value->vt;
  if (stored->type == REG_SZ && (wanted == VT_EMPTY || wanted == VT_BSTR)) {
    const auto text = reg::GetString(HKEY_CLASSES_ROOT, keyPath_, WideToUtf8(name));
    const std::u16string wide = Utf8ToWide(text.value_or(""));
    value->bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!value->bstrVal) return E_OUTOFMEMORY;
    value->vt = VT_BSTR;
    return S_OK;
  }
  const auto number = reg::GetDword(HKEY_CLASSES_ROOT, keyPath_, WideToUtf8(name));
  if (number && (wanted == VT_EMPTY || wanted == VT_I4 || wanted == VT_UI4)) {
    value->vt = wanted == VT_UI4 ? VT_UI4 : VT_I4;
    value->ulVal = *number;
    return S_OK;
  }
  return E_INVALIDARG;
}

HRESULT RegistryPropertyBag::Write(LPCOLESTR, VARIANT*) { return E_ACCESSDENIED; }
