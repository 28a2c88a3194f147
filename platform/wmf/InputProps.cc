#include "InputProps.h"

#include "WideText.h"

ComPtr<InputProps> InputProps::Create(const std::u16string& connection,
                                      const OwnedMediaType& type) {
  ComPtr<InputProps> props;
  props.Attach(new InputProps(connection, type));
  return props;
}

HRESULT InputProps::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IID_IWMMediaProps || riid == IID_IWMInputMediaProps)
    return GetInterface(static_cast<IWMInputMediaProps*>(this), ppv);
  return E_NOINTERFACE;
}

HRESULT InputProps::GetType(GUID* type) {
  if (!type) return E_POINTER;
  *type = type_.Get().majortype;
  return S_OK;
}

HRESULT InputProps::GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) {
  return type_.CopyOut(type, size);
}

HRESULT InputProps::SetMediaType(WM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  if (type->majortype != type_.Get().majortype || (type->cbFormat > 0 && !type->pbFormat))
    return E_INVALIDARG;
  type_.Assign(*type);
  return S_OK;
}

HRESULT InputProps::GetConnectionName(WCHAR* name, WORD* chars) {
  return CopyWideOut(connection_, name, chars);
}

HRESULT InputProps::GetGroupName(WCHAR* name, WORD* chars) {
  return CopyWideOut(std::u16string(), name, chars);
}
