// The profile manager: empty profiles of version 8 or 9 and, as IWMCodecInfo2, the codec
// catalogue. Stored and system profiles are not supported.
#pragma once

#include "RefCounted.h"
#include "Wmsdk.h"

class ProfileManager final : public IWMProfileManager, public IWMCodecInfo2, private RefCounted {
 public:
  ProfileManager() = default;

  WM_REFCOUNTED
  HRESULT QueryInterface(REFIID riid, void** ppv) override;

  // IWMProfileManager
  HRESULT CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) override;
  HRESULT LoadProfileByID(REFGUID id, IWMProfile** profile) override;
  HRESULT LoadProfileByData(const WCHAR* data, IWMProfile** profile) override;
  HRESULT SaveProfile(IWMProfile* profile, WCHAR* data, DWORD* chars) override;
  HRESULT GetSystemProfileCount(DWORD* count) override;
  HRESULT LoadSystemProfile(DWORD index, IWMProfile** profile) override;

  // IWMCodecInfo2
  HRESULT GetCodecInfoCount(REFGUID type, DWORD* codecs) override;
  HRESULT GetCodecFormatCount(REFGUID type, DWORD codec, DWORD* formats) override;
  HRESULT GetCodecFormat(REFGUID type, DWORD codec, DWORD format,
                         IWMStreamConfig** config) override;
  HRESULT GetCodecName(REFGUID type, DWORD codec, WCHAR* name, DWORD* chars) override;
  HRESULT GetCodecFormatDesc(REFGUID type, DWORD codec, DWORD format, IWMStreamConfig** config,
                             WCHAR* description, DWORD* chars) override;
};
