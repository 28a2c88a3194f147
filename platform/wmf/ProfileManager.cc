#include "ProfileManager.h"

#include "CodecCatalog.h"
#include "Profile.h"
#include "WideText.h"

namespace {

const CodecEntry* FindCodec(REFGUID type, DWORD codec) {
  const auto* codecs = CodecCatalog::Instance().CodecsOf(type);
  if (!codecs || codec >= codecs->size()) return nullptr;
  return &(*codecs)[codec];
}

const CodecFormat* FindFormat(REFGUID type, DWORD codec, DWORD format) {
  const CodecEntry* entry = FindCodec(type, codec);
  if (!entry || format >= entry->formats.size()) return nullptr;
  return &entry->formats[format];
}

// A stream configuration carrying the format, as the writer would need it.
HRESULT ConfigFor(REFGUID type, const CodecFormat& format, IWMStreamConfig** config) {
  ComPtr<StreamConfig> stream;
  if (HRESULT hr = StreamConfig::Create(type, &stream); FAILED(hr)) return hr;
  WM_MEDIA_TYPE media = format.type.Get();
  if (HRESULT hr = stream->SetMediaType(&media); FAILED(hr)) return hr;
  stream->SetBitrate(format.bitrate);
  *config = stream.Detach();
  return S_OK;
}

}  // namespace

HRESULT WMCreateProfileManager(IWMProfileManager** manager) {
  if (!manager) return E_POINTER;
  *manager = new ProfileManager();
  return S_OK;
}

HRESULT ProfileManager::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IID_IWMProfileManager)
    return GetInterface(static_cast<IWMProfileManager*>(this), ppv);
  if (riid == IID_IWMCodecInfo) return GetInterface(static_cast<IWMCodecInfo*>(this), ppv);
  if (riid == IID_IWMCodecInfo2) return GetInterface(static_cast<IWMCodecInfo2*>(this), ppv);
  return E_NOINTERFACE;
}

HRESULT ProfileManager::CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) {
  if (!profile) return E_POINTER;
  *profile = nullptr;
  ComPtr<Profile> created;
  if (HRESULT hr = Profile::Create(version, &created); FAILED(hr)) return hr;
  *profile = created.Detach();
  return S_OK;
}

HRESULT ProfileManager::LoadProfileByID(REFGUID, IWMProfile** profile) {
  if (!profile) return E_POINTER;
  *profile = nullptr;
  return E_NOTIMPL;
}

HRESULT ProfileManager::LoadProfileByData(const WCHAR*, IWMProfile** profile) {
  if (!profile) return E_POINTER;
  *profile = nullptr;
  return E_NOTIMPL;
}

HRESULT ProfileManager::SaveProfile(IWMProfile*, WCHAR*, DWORD*) { return E_NOTIMPL; }

HRESULT ProfileManager::GetSystemProfileCount(DWORD* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT ProfileManager::LoadSystemProfile(DWORD, IWMProfile** profile) {
  if (!profile) return E_POINTER;
  *profile = nullptr;
  return E_INVALIDARG;
}

HRESULT ProfileManager::GetCodecInfoCount(REFGUID type, DWORD* codecs) {
  if (!codecs) return E_POINTER;
  const auto* list = CodecCatalog::Instance().CodecsOf(type);
  if (!list) return E_INVALIDARG;
  *codecs = static_cast<DWORD>(list->size());
  return S_OK;
}

HRESULT ProfileManager::GetCodecFormatCount(REFGUID type, DWORD codec, DWORD* formats) {
  if (!formats) return E_POINTER;
  const CodecEntry* entry = FindCodec(type, codec);
  if (!entry) return E_INVALIDARG;
  *formats = static_cast<DWORD>(entry->formats.size());
  return S_OK;
}

HRESULT ProfileManager::GetCodecFormat(REFGUID type, DWORD codec, DWORD format,
                                       IWMStreamConfig** config) {
  if (!config) return E_POINTER;
  *config = nullptr;
  const CodecFormat* found = FindFormat(type, codec, format);
  if (!found) return E_INVALIDARG;
  return ConfigFor(type, *found, config);
}

HRESULT ProfileManager::GetCodecName(REFGUID type, DWORD codec, WCHAR* name, DWORD* chars) {
  const CodecEntry* entry = FindCodec(type, codec);
  if (!entry) return E_INVALIDARG;
  return CopyWideOut(entry->name, name, chars);
}

HRESULT ProfileManager::GetCodecFormatDesc(REFGUID type, DWORD codec, DWORD format,
                                           IWMStreamConfig** config, WCHAR* description,
                                           DWORD* chars) {
  const CodecFormat* found = FindFormat(type, codec, format);
  if (!found) return E_INVALIDARG;
  if (config) {
    *config = nullptr;
    if (HRESULT hr = ConfigFor(type, *found, config); FAILED(hr)) return hr;
  }
  return CopyWideOut(found->description, description, chars);
}
