#include "StreamConfig.h"

#include "WideText.h"

namespace {

constexpr WORD kMaxStreamNumber = 63;     // ASF stream numbers take 7 bits, 0 is not used
constexpr DWORD kMaxVideoQuality = 100;
constexpr DWORD kDefaultComplexity = 2;  // the encoder's middle setting until told otherwise

bool FormatFits(const WM_MEDIA_TYPE& type) {
  if (type.majortype == WMMEDIATYPE_Video)
    return type.formattype == WMFORMAT_VideoInfo && type.cbFormat >= sizeof(VIDEOINFOHEADER);
  return type.formattype == WMFORMAT_WaveFormatEx && type.cbFormat >= sizeof(WAVEFORMATEX);
}

}  // namespace

StreamConfig::StreamConfig(const GUID& stream_type) : stream_type_(stream_type) {
  WM_MEDIA_TYPE type{};
  type.majortype = stream_type;
  media_type_.Assign(type);
  if (IsVideo()) {
    const DWORD complexity = kDefaultComplexity;
    properties_.Set(kComplexityProperty, WMT_TYPE_DWORD,
                    reinterpret_cast<const BYTE*>(&complexity), sizeof complexity);
  }
}

StreamConfig::StreamConfig(const StreamConfig& other)
    : IWMStreamConfig(),
      IWMVideoMediaProps(),
      IWMPropertyVault(),
      RefCounted(),
      stream_type_(other.stream_type_),
      number_(other.number_),
      name_(other.name_),
      connection_(other.connection_),
      bitrate_(other.bitrate_),
      buffer_window_(other.buffer_window_),
      media_type_(other.media_type_),
      key_frame_spacing_(other.key_frame_spacing_),
      quality_(other.quality_),
      properties_(other.properties_) {}

HRESULT StreamConfig::Create(REFGUID stream_type, ComPtr<StreamConfig>* out) {
  if (!out) return E_POINTER;
  if (stream_type != WMMEDIATYPE_Video && stream_type != WMMEDIATYPE_Audio) return E_INVALIDARG;
  out->Attach(new StreamConfig(stream_type));
  return S_OK;
}

ComPtr<StreamConfig> StreamConfig::Clone() const {
  ComPtr<StreamConfig> copy;
  copy.Attach(new StreamConfig(*this));
  return copy;
}

HRESULT StreamConfig::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IID_IWMStreamConfig)
    return GetInterface(static_cast<IWMStreamConfig*>(this), ppv);
  if (riid == IID_IWMMediaProps)
    return GetInterface(static_cast<IWMMediaProps*>(this), ppv);
  if (riid == IID_IWMVideoMediaProps && IsVideo())
    return GetInterface(static_cast<IWMVideoMediaProps*>(this), ppv);
  if (riid == IID_IWMPropertyVault) return GetInterface(static_cast<IWMPropertyVault*>(this), ppv);
  return E_NOINTERFACE;
}

HRESULT StreamConfig::GetStreamType(GUID* type) {
  if (!type) return E_POINTER;
  *type = stream_type_;
  return S_OK;
}

HRESULT StreamConfig::GetStreamNumber(WORD* number) {
  if (!number) return E_POINTER;
  *number = number_;
  return S_OK;
}

HRESULT StreamConfig::SetStreamNumber(WORD number) {
  if (number == 0 || number > kMaxStreamNumber) return E_INVALIDARG;
  number_ = number;
  return S_OK;
}

HRESULT StreamConfig::GetStreamName(WCHAR* name, WORD* chars) {
  return CopyWideOut(name_, name, chars);
}

HRESULT StreamConfig::SetStreamName(const WCHAR* name) {
  if (!name) return E_POINTER;
  name_ = name;
  return S_OK;
}

HRESULT StreamConfig::GetConnectionName(WCHAR* name, WORD* chars) {
  return CopyWideOut(connection_, name, chars);
}

HRESULT StreamConfig::SetConnectionName(const WCHAR* name) {
  if (!name) return E_POINTER;
  connection_ = name;
  return S_OK;
}

HRESULT StreamConfig::GetBitrate(DWORD* bitrate) {
  if (!bitrate) return E_POINTER;
  *bitrate = bitrate_;
  return S_OK;
}

HRESULT StreamConfig::SetBitrate(DWORD bitrate) {
  bitrate_ = bitrate;
  return S_OK;
}

HRESULT StreamConfig::GetBufferWindow(DWORD* milliseconds) {
  if (!milliseconds) return E_POINTER;
  *milliseconds = buffer_window_;
  return S_OK;
}

HRESULT StreamConfig::SetBufferWindow(DWORD milliseconds) {
  buffer_window_ = milliseconds;
  return S_OK;
}

HRESULT StreamConfig::GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) {
  return media_type_.CopyOut(type, size);
}

HRESULT StreamConfig::SetMediaType(WM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  if (type->majortype != stream_type_ || (type->cbFormat > 0 && !type->pbFormat) ||
      !FormatFits(*type))
    return E_INVALIDARG;
  media_type_.Assign(*type);
  return S_OK;
}

HRESULT StreamConfig::GetMaxKeyFrameSpacing(LONGLONG* time) {
  if (!time) return E_POINTER;
  *time = key_frame_spacing_;
  return S_OK;
}

HRESULT StreamConfig::SetMaxKeyFrameSpacing(LONGLONG time) {
  if (time < 0) return E_INVALIDARG;
  key_frame_spacing_ = time;
  return S_OK;
}

HRESULT StreamConfig::GetQuality(DWORD* quality) {
  if (!quality) return E_POINTER;
  *quality = quality_;
  return S_OK;
}

HRESULT StreamConfig::SetQuality(DWORD quality) {
  if (quality > kMaxVideoQuality) return E_INVALIDARG;
  quality_ = quality;
  return S_OK;
}

HRESULT StreamConfig::GetPropertyCount(DWORD* count) {
  if (!count) return E_POINTER;
  *count = properties_.Count();
  return S_OK;
}

HRESULT StreamConfig::GetPropertyByName(const WCHAR* name, WMT_ATTR_DATATYPE* type, BYTE* value,
                                        DWORD* size) {
  return properties_.Get(name, type, value, size);
}

HRESULT StreamConfig::SetProperty(const WCHAR* name, WMT_ATTR_DATATYPE type, BYTE* value,
                                  DWORD size) {
  return properties_.Set(name, type, value, size);
}

HRESULT StreamConfig::GetPropertyByIndex(DWORD index, WCHAR* name, DWORD* name_chars,
                                         WMT_ATTR_DATATYPE* type, BYTE* value, DWORD* size) {
  return properties_.GetByIndex(index, name, name_chars, type, value, size);
}

HRESULT StreamConfig::CopyPropertiesFrom(IWMPropertyVault* source) {
  return CopySettings(source, &properties_);
}

HRESULT StreamConfig::Clear() {
  properties_.Clear();
  return S_OK;
}
