// The Windows Media Format interfaces the ASF writer uses, in the method order of their
// Windows declarations, and the two factory functions.
//
// Objects: the profile manager (IWMProfileManager, IWMCodecInfo2) hands out empty profiles
// and the codec catalogue; a profile (IWMProfile) holds stream configurations
// (IWMStreamConfig, IWMMediaProps or IWMVideoMediaProps, IWMPropertyVault); the writer
// (IWMWriter, IWMWriterAdvanced, IWMHeaderInfo) takes a profile, offers one input per stream
// (IWMInputMediaProps), and encodes samples (INSSBuffer) into one ASF file.
#pragma once

#include "Unknown.h"
#include "WmTypes.h"

struct IWMMutualExclusion;
struct IWMWriterSink;

#define WM_IID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  DEFINE_GUID(IID_##name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)

WM_IID(IWMMediaProps, 0x96406BCE, 0x2B2B, 0x11D3, 0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF);
WM_IID(IWMVideoMediaProps, 0x96406BCF, 0x2B2B, 0x11D3, 0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08,
       0xFF);
WM_IID(IWMWriter, 0x96406BD4, 0x2B2B, 0x11D3, 0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF);
WM_IID(IWMInputMediaProps, 0x96406BD5, 0x2B2B, 0x11D3, 0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08,
       0xFF);
WM_IID(IWMHeaderInfo, 0x96406BDA, 0x2B2B, 0x11D3, 0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF);
WM_IID(IWMProfile, 0x96406BDB, 0x2B2B, 0x11D3, 0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF);
WM_IID(IWMStreamConfig, 0x96406BDC, 0x2B2B, 0x11D3, 0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08,
       0xFF);
WM_IID(IWMWriterAdvanced, 0x96406BE3, 0x2B2B, 0x11D3, 0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08,
       0xFF);
WM_IID(IWMProfileManager, 0xD16679F2, 0x6CA0, 0x472D, 0x8D, 0x31, 0x2F, 0x5D, 0x55, 0xAE, 0xE1,
       0x55);
WM_IID(IWMCodecInfo, 0xA970F41E, 0x34DE, 0x4A98, 0xB3, 0xBA, 0xE4, 0xB3, 0xCA, 0x75, 0x28, 0xF0);
WM_IID(IWMCodecInfo2, 0xAA65E273, 0xB686, 0x4056, 0x91, 0xEC, 0xDD, 0x76, 0x8D, 0x4D, 0xF7, 0x10);
WM_IID(IWMPropertyVault, 0x72995A79, 0x5090, 0x42A4, 0x9C, 0x8C, 0xD9, 0xD0, 0xB6, 0xD3, 0x4B,
       0xE5);
WM_IID(INSSBuffer, 0xE1CD3524, 0x03D7, 0x11D2, 0x9E, 0xED, 0x00, 0x60, 0x97, 0xD2, 0xD7, 0xCF);

#undef WM_IID

struct WM_WRITER_STATISTICS {
  QWORD qwSampleCount;
  QWORD qwByteCount;
  QWORD qwDroppedSampleCount;
  QWORD qwDroppedByteCount;
  DWORD dwCurrentBitrate;
  DWORD dwAverageBitrate;
  DWORD dwExpectedBitrate;
  DWORD dwCurrentSampleRate;
  DWORD dwAverageSampleRate;
  DWORD dwExpectedSampleRate;
};

struct INSSBuffer : IUnknown {
  static constexpr const GUID& kIid = IID_INSSBuffer;
  virtual HRESULT GetLength(DWORD* length) = 0;
  virtual HRESULT SetLength(DWORD length) = 0;
  virtual HRESULT GetMaxLength(DWORD* length) = 0;
  virtual HRESULT GetBuffer(BYTE** buffer) = 0;
  virtual HRESULT GetBufferAndLength(BYTE** buffer, DWORD* length) = 0;

 protected:
  ~INSSBuffer() = default;
};

// GetMediaType copies the type and its format block into the caller's memory: with a null
// type it answers the size needed; the format block follows the structure and pbFormat
// points to it.
struct IWMMediaProps : IUnknown {
  static constexpr const GUID& kIid = IID_IWMMediaProps;
  virtual HRESULT GetType(GUID* type) = 0;
  virtual HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) = 0;
  virtual HRESULT SetMediaType(WM_MEDIA_TYPE* type) = 0;

 protected:
  ~IWMMediaProps() = default;
};

struct IWMVideoMediaProps : IWMMediaProps {
  static constexpr const GUID& kIid = IID_IWMVideoMediaProps;
  virtual HRESULT GetMaxKeyFrameSpacing(LONGLONG* time) = 0;
  virtual HRESULT SetMaxKeyFrameSpacing(LONGLONG time) = 0;
  virtual HRESULT GetQuality(DWORD* quality) = 0;
  virtual HRESULT SetQuality(DWORD quality) = 0;

 protected:
  ~IWMVideoMediaProps() = default;
};

struct IWMInputMediaProps : IWMMediaProps {
  static constexpr const GUID& kIid = IID_IWMInputMediaProps;
  virtual HRESULT GetConnectionName(WCHAR* name, WORD* chars) = 0;
  virtual HRESULT GetGroupName(WCHAR* name, WORD* chars) = 0;

 protected:
  ~IWMInputMediaProps() = default;
};

// Names are returned by the usual two calls: a null buffer answers the length in characters
// including the terminating null.
struct IWMStreamConfig : IUnknown {
  static constexpr const GUID& kIid = IID_IWMStreamConfig;
  virtual HRESULT GetStreamType(GUID* type) = 0;
  virtual HRESULT GetStreamNumber(WORD* number) = 0;
  virtual HRESULT SetStreamNumber(WORD number) = 0;
  virtual HRESULT GetStreamName(WCHAR* name, WORD* chars) = 0;
  virtual HRESULT SetStreamName(const WCHAR* name) = 0;
  virtual HRESULT GetConnectionName(WCHAR* name, WORD* chars) = 0;
  virtual HRESULT SetConnectionName(const WCHAR* name) = 0;
  virtual HRESULT GetBitrate(DWORD* bitrate) = 0;
  virtual HRESULT SetBitrate(DWORD bitrate) = 0;
  virtual HRESULT GetBufferWindow(DWORD* milliseconds) = 0;
  virtual HRESULT SetBufferWindow(DWORD milliseconds) = 0;

 protected:
  ~IWMStreamConfig() = default;
};

// Encoder settings by name. GetPropertyByName with a null value answers the size.
struct IWMPropertyVault : IUnknown {
  static constexpr const GUID& kIid = IID_IWMPropertyVault;
  virtual HRESULT GetPropertyCount(DWORD* count) = 0;
  virtual HRESULT GetPropertyByName(const WCHAR* name, WMT_ATTR_DATATYPE* type, BYTE* value,
                                    DWORD* size) = 0;
  virtual HRESULT SetProperty(const WCHAR* name, WMT_ATTR_DATATYPE type, BYTE* value,
                              DWORD size) = 0;
  virtual HRESULT GetPropertyByIndex(DWORD index, WCHAR* name, DWORD* name_chars,
                                     WMT_ATTR_DATATYPE* type, BYTE* value, DWORD* size) = 0;
  virtual HRESULT CopyPropertiesFrom(IWMPropertyVault* source) = 0;
  virtual HRESULT Clear() = 0;

 protected:
  ~IWMPropertyVault() = default;
};

struct IWMProfile : IUnknown {
  static constexpr const GUID& kIid = IID_IWMProfile;
  virtual HRESULT GetVersion(WMT_VERSION* version) = 0;
  virtual HRESULT GetName(WCHAR* name, DWORD* chars) = 0;
  virtual HRESULT SetName(const WCHAR* name) = 0;
  virtual HRESULT GetDescription(WCHAR* description, DWORD* chars) = 0;
  virtual HRESULT SetDescription(const WCHAR* description) = 0;
  virtual HRESULT GetStreamCount(DWORD* count) = 0;
  virtual HRESULT GetStream(DWORD index, IWMStreamConfig** config) = 0;
  virtual HRESULT GetStreamByNumber(WORD number, IWMStreamConfig** config) = 0;
  virtual HRESULT RemoveStream(IWMStreamConfig* config) = 0;
  virtual HRESULT RemoveStreamByNumber(WORD number) = 0;
  virtual HRESULT AddStream(IWMStreamConfig* config) = 0;
  virtual HRESULT ReconfigStream(IWMStreamConfig* config) = 0;
  virtual HRESULT CreateNewStream(REFGUID type, IWMStreamConfig** config) = 0;
  virtual HRESULT GetMutualExclusionCount(DWORD* count) = 0;
  virtual HRESULT GetMutualExclusion(DWORD index, IWMMutualExclusion** exclusion) = 0;
  virtual HRESULT RemoveMutualExclusion(IWMMutualExclusion* exclusion) = 0;
  virtual HRESULT AddMutualExclusion(IWMMutualExclusion* exclusion) = 0;
  virtual HRESULT CreateNewMutualExclusion(IWMMutualExclusion** exclusion) = 0;

 protected:
  ~IWMProfile() = default;
};

struct IWMProfileManager : IUnknown {
  static constexpr const GUID& kIid = IID_IWMProfileManager;
  virtual HRESULT CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) = 0;
  virtual HRESULT LoadProfileByID(REFGUID id, IWMProfile** profile) = 0;
  virtual HRESULT LoadProfileByData(const WCHAR* data, IWMProfile** profile) = 0;
  virtual HRESULT SaveProfile(IWMProfile* profile, WCHAR* data, DWORD* chars) = 0;
  virtual HRESULT GetSystemProfileCount(DWORD* count) = 0;
  virtual HRESULT LoadSystemProfile(DWORD index, IWMProfile** profile) = 0;

 protected:
  ~IWMProfileManager() = default;
};

// The codecs and their formats for one major type (WMMEDIATYPE_Video or _Audio).
struct IWMCodecInfo : IUnknown {
  static constexpr const GUID& kIid = IID_IWMCodecInfo;
  virtual HRESULT GetCodecInfoCount(REFGUID type, DWORD* codecs) = 0;
  virtual HRESULT GetCodecFormatCount(REFGUID type, DWORD codec, DWORD* formats) = 0;
  virtual HRESULT GetCodecFormat(REFGUID type, DWORD codec, DWORD format,
                                 IWMStreamConfig** config) = 0;

 protected:
  ~IWMCodecInfo() = default;
};

struct IWMCodecInfo2 : IWMCodecInfo {
  static constexpr const GUID& kIid = IID_IWMCodecInfo2;
  virtual HRESULT GetCodecName(REFGUID type, DWORD codec, WCHAR* name, DWORD* chars) = 0;
  virtual HRESULT GetCodecFormatDesc(REFGUID type, DWORD codec, DWORD format,
                                     IWMStreamConfig** config, WCHAR* description,
                                     DWORD* chars) = 0;

 protected:
  ~IWMCodecInfo2() = default;
};

struct IWMWriter : IUnknown {
  static constexpr const GUID& kIid = IID_IWMWriter;
  virtual HRESULT SetProfileByID(REFGUID id) = 0;
  virtual HRESULT SetProfile(IWMProfile* profile) = 0;
  virtual HRESULT SetOutputFilename(const WCHAR* filename) = 0;
  virtual HRESULT GetInputCount(DWORD* inputs) = 0;
  virtual HRESULT GetInputProps(DWORD input, IWMInputMediaProps** props) = 0;
  virtual HRESULT SetInputProps(DWORD input, IWMInputMediaProps* props) = 0;
  virtual HRESULT GetInputFormatCount(DWORD input, DWORD* formats) = 0;
  virtual HRESULT GetInputFormat(DWORD input, DWORD format, IWMInputMediaProps** props) = 0;
  virtual HRESULT BeginWriting() = 0;
  virtual HRESULT EndWriting() = 0;
  virtual HRESULT AllocateSample(DWORD size, INSSBuffer** sample) = 0;
  virtual HRESULT WriteSample(DWORD input, QWORD sample_time, DWORD flags,
                              INSSBuffer* sample) = 0;
  virtual HRESULT Flush() = 0;

 protected:
  ~IWMWriter() = default;
};

struct IWMWriterAdvanced : IUnknown {
  static constexpr const GUID& kIid = IID_IWMWriterAdvanced;
  virtual HRESULT GetSinkCount(DWORD* sinks) = 0;
  virtual HRESULT GetSink(DWORD index, IWMWriterSink** sink) = 0;
  virtual HRESULT AddSink(IWMWriterSink* sink) = 0;
  virtual HRESULT RemoveSink(IWMWriterSink* sink) = 0;
  virtual HRESULT RemoveAllSinks() = 0;
  virtual HRESULT WriteStreamSample(WORD stream, QWORD sample_time, DWORD send_time,
                                    QWORD duration, DWORD flags, INSSBuffer* sample) = 0;
  virtual HRESULT SetLiveSource(BOOL live) = 0;
  virtual HRESULT IsRealTime(BOOL* real_time) = 0;
  virtual HRESULT GetWriterTime(QWORD* time) = 0;
  virtual HRESULT GetStatistics(WORD stream, WM_WRITER_STATISTICS* statistics) = 0;
  virtual HRESULT SetSyncTolerance(DWORD milliseconds) = 0;
  virtual HRESULT GetSyncTolerance(DWORD* milliseconds) = 0;

 protected:
  ~IWMWriterAdvanced() = default;
};

// File attributes. Stream 0 is the file as a whole; string values are UTF-16 with the
// length given in bytes.
struct IWMHeaderInfo : IUnknown {
  static constexpr const GUID& kIid = IID_IWMHeaderInfo;
  virtual HRESULT GetAttributeCount(WORD stream, WORD* attributes) = 0;
  virtual HRESULT GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* name_chars,
                                      WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length) = 0;
  virtual HRESULT GetAttributeByName(WORD* stream, LPCWSTR name, WMT_ATTR_DATATYPE* type,
                                     BYTE* value, WORD* length) = 0;
  virtual HRESULT SetAttribute(WORD stream, LPCWSTR name, WMT_ATTR_DATATYPE type,
                               const BYTE* value, WORD length) = 0;
  virtual HRESULT GetMarkerCount(WORD* markers) = 0;
  virtual HRESULT GetMarker(WORD index, WCHAR* name, WORD* name_chars, QWORD* time) = 0;
  virtual HRESULT AddMarker(LPCWSTR name, QWORD time) = 0;
  virtual HRESULT RemoveMarker(WORD index) = 0;
  virtual HRESULT GetScriptCount(WORD* scripts) = 0;
  virtual HRESULT GetScript(WORD index, WCHAR* type, WORD* type_chars, WCHAR* command,
                            WORD* command_chars, QWORD* time) = 0;
  virtual HRESULT AddScript(LPCWSTR type, LPCWSTR command, QWORD time) = 0;
  virtual HRESULT RemoveScript(WORD index) = 0;

 protected:
  ~IWMHeaderInfo() = default;
};

// A new writer with no profile.
HRESULT WMCreateWriter(IUnknown* reserved, IWMWriter** writer);
// A new profile manager; it also answers IWMCodecInfo and IWMCodecInfo2.
HRESULT WMCreateProfileManager(IWMProfileManager** manager);
