#include "OutputTypes.h"

#include "recorder/RecorderMediaTypes.h"
#include "recorder/Trace.h"

namespace splitter {

using namespace recorder;

HRESULT BuildVideoType(const ConnectionFormat& format, CMediaType* type) {
  type->InitMediaType();
  type->SetType(&MEDIATYPE_RecorderStream);
  const GUID subtype = VideoSubtypeForMagic(format.header.magic).value_or(GUID_NULL);
  type->SetSubtype(&subtype);
  type->SetFormatType(&FORMAT_VideoInfo);
  type->SetVariableSize();
  type->SetTemporalCompression(TRUE);
  const auto block = BuildVideoFormat(format.header);
  return type->SetFormat(block.data(), static_cast<ULONG>(block.size())) ? S_OK : E_OUTOFMEMORY;
}

HRESULT BuildAudioType(const ConnectionFormat& format, CMediaType* type) {
  type->InitMediaType();
  if (format.header.systemType == kSystemVideo) {
    Trace("video stream!");
    type->SetType(&MEDIATYPE_RecorderNoAudio);
    type->SetSubtype(&MEDIASUBTYPE_RecorderNoAudio);
    type->SetFormatType(&FORMAT_WaveFormatEx);
    return S_OK;
  }
  type->SetType(&MEDIATYPE_RecorderStream);
  const GUID subtype = AudioSubtypeForCodec(format.params.audioCodec).value_or(GUID_NULL);
  type->SetSubtype(&subtype);
  type->SetFormatType(&FORMAT_WaveFormatEx);
  type->SetSampleSize(kRecorderAudioSampleSize);
  type->SetTemporalCompression(TRUE);
  const auto block = BuildAudioFormat(format.header);
  return type->SetFormat(block.data(), static_cast<ULONG>(block.size())) ? S_OK : E_OUTOFMEMORY;
}

bool IsVideoOutputType(const CMediaType& type) {
  return type.majortype == MEDIATYPE_RecorderStream && IsRecorderVideoSubtype(type.subtype);
}

bool IsAudioOutputType(const CMediaType& type) {
  if (type.majortype == MEDIATYPE_RecorderNoAudio)
    return type.subtype == MEDIASUBTYPE_RecorderNoAudio;
  return type.majortype == MEDIATYPE_RecorderStream && IsRecorderAudioSubtype(type.subtype);
}

}  // namespace splitter
