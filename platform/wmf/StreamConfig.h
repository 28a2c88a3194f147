// One stream of a profile: its type, number, names, bit rate, buffer window, media type,
// the video settings (key-frame spacing, quality) and the encoder settings (property vault).
// A stream configuration belongs to one thread at a time, like the profile that holds it.
#pragma once

#include <string>

#include "ComPtr.h"
#include "OwnedMediaType.h"
#include "PropertyStore.h"
#include "RefCounted.h"
#include "Wmsdk.h"

class StreamConfig final : public IWMStreamConfig,
                           public IWMVideoMediaProps,
                           public IWMPropertyVault,
                           private RefCounted {
 public:
  // A new video or audio stream; E_INVALIDARG for other types.
  static HRESULT Create(REFGUID stream_type, ComPtr<StreamConfig>* out);
  ComPtr<StreamConfig> Clone() const;

  WM_REFCOUNTED
  HRESULT QueryInterface(REFIID riid, void** ppv) override;

  // IWMStreamConfig
  HRESULT GetStreamType(GUID* type) override;
  HRESULT GetStreamNumber(WORD* number) override;
  HRESULT SetStreamNumber(WORD number) override;
  HRESULT GetStreamName(WCHAR* name, WORD* chars) override;
  HRESULT SetStreamName(const WCHAR* name) override;
  HRESULT GetConnectionName(WCHAR* name, WORD* chars) override;
  HRESULT SetConnectionName(const WCHAR* name) override;
  HRESULT GetBitrate(DWORD* bitrate) override;
  HRESULT SetBitrate(DWORD bitrate) override;
  HRESULT GetBufferWindow(DWORD* milliseconds) override;
  HRESULT SetBufferWindow(DWORD milliseconds) override;

  // IWMMediaProps
  HRESULT GetType(GUID* type) override { return GetStreamType(type); }
  HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override;
  HRESULT SetMediaType(WM_MEDIA_TYPE* type) override;

  // IWMVideoMediaProps (answered for video streams only)
  HRESULT GetMaxKeyFrameSpacing(LONGLONG* time) override;
  HRESULT SetMaxKeyFrameSpacing(LONGLONG time) override;
  HRESULT GetQuality(DWORD* quality) override;
  HRESULT SetQuality(DWORD quality) override;

  // IWMPropertyVault
  HRESULT GetPropertyCount(DWORD* count) override;
  HRESULT GetPropertyByName(const WCHAR* name, WMT_ATTR_DATATYPE* type, BYTE* value,
                            DWORD* size) override;
  HRESULT SetProperty(const WCHAR* name, WMT_ATTR_DATATYPE type, BYTE* value,
                      DWORD size) override;
  HRESULT GetPropertyByIndex(DWORD index, WCHAR* name, DWORD* name_chars,
                             WMT_ATTR_DATATYPE* type, BYTE* value, DWORD* size) override;
  HRESULT CopyPropertiesFrom(IWMPropertyVault* source) override;
  HRESULT Clear() override;

  bool IsVideo() const { return stream_type_ == WMMEDIATYPE_Video; }
  const OwnedMediaType& MediaType() const { return media_type_; }

 private:
  explicit StreamConfig(const GUID& stream_type);
  StreamConfig(const StreamConfig& other);

  GUID stream_type_;
  WORD number_ = 0;
  std::u16string name_;
  std::u16string connection_;
  DWORD bitrate_ = 0;
  DWORD buffer_window_ = 0;
  OwnedMediaType media_type_;
  LONGLONG key_frame_spacing_ = 0;  // 100 ns units; 0 lets the encoder choose
  DWORD quality_ = 0;
  PropertyStore properties_;
};
