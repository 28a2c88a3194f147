#include "OutputTypes.h"

#include <cstring>

#include "recorder/RecorderGuids.h"
#include "recorder/Trace.h"

namespace splitter {

using namespace recorder;

namespace {

GUID VideoSubtype(uint32_t magic) {
  switch (magic) {
    case kMagic4HLQ:
    case kMagic4MLQ: return MEDIASUBTYPE_RecorderVideo;
    case kMagic4MSH: return MEDIASUBTYPE_RecorderVideo2;
    default: return GUID{};
  }
}

GUID AudioSubtype(uint32_t normalisedCodec) {
  switch (DescribeAudioCodec(normalisedCodec).subtype) {
    case AudioSubtype::G722: return MEDIASUBTYPE_RecorderAudioG722;
    case AudioSubtype::G711: return MEDIASUBTYPE_RecorderAudio711;
    case AudioSubtype::None: break;
  }
  return GUID{};
}

// A format block of `size` bytes that starts with the FileHeader; nullptr without memory.
BYTE* FormatWithHeader(CMediaType* type, ULONG size, const FileHeader& header) {
  BYTE* format = type->AllocFormatBuffer(size);
  if (!format) return nullptr;
  const auto bytes = Serialize(header);
  std::memcpy(format, bytes.data(), bytes.size());
  return format;
}

}  // namespace

HRESULT BuildVideoType(const ConnectionFormat& format, CMediaType* type) {
  type->InitMediaType();
  type->SetType(&MEDIATYPE_RecorderStream);
  const GUID subtype = VideoSubtype(format.header.magic);
  type->SetSubtype(&subtype);
  type->SetFormatType(&FORMAT_VideoInfo);
  type->SetVariableSize();
  type->SetTemporalCompression(TRUE);
  BYTE* block = FormatWithHeader(type, kVideoFormatSize, format.header);
  if (!block) return E_OUTOFMEMORY;
  VIDEOINFOHEADER info{};
  const LONG width = format.params.size.width;
  const LONG height = format.params.size.height;
  info.rcSource = {0, 0, width, height};
  info.rcTarget = info.rcSource;
  info.AvgTimePerFrame = kNominalFrameTime;
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  std::memcpy(block + kFileHeaderSize, &info, sizeof info);
  return S_OK;
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
  const GUID subtype = AudioSubtype(format.params.audioCodec);
  type->SetSubtype(&subtype);
  type->SetFormatType(&FORMAT_WaveFormatEx);
  type->SetSampleSize(kAudioSampleSize);
  type->SetTemporalCompression(TRUE);
  BYTE* block = FormatWithHeader(type, kAudioFormatSize, format.header);
  if (!block) return E_OUTOFMEMORY;
  WAVEFORMATEX wave{};
  wave.wFormatTag = kRecorderWaveFormatTag;
  wave.nChannels = format.header.audioChannels & 0xFF;
  wave.nSamplesPerSec = format.header.audioSampleRate;
  wave.wBitsPerSample = format.header.audioBitsPerSample;
  wave.nBlockAlign = static_cast<WORD>(wave.nChannels * wave.wBitsPerSample / 8);
  wave.nAvgBytesPerSec = wave.nBlockAlign * wave.nSamplesPerSec;
  std::memcpy(block + kFileHeaderSize, &wave, sizeof wave);
  return S_OK;
}

bool IsVideoOutputType(const CMediaType& type) {
  return type.majortype == MEDIATYPE_RecorderStream &&
         (type.subtype == MEDIASUBTYPE_RecorderVideo || type.subtype == MEDIASUBTYPE_RecorderVideo2);
}

bool IsAudioOutputType(const CMediaType& type) {
  if (type.majortype == MEDIATYPE_RecorderNoAudio)
    return type.subtype == MEDIASUBTYPE_RecorderNoAudio;
  return type.majortype == MEDIATYPE_RecorderStream &&
         (type.subtype == MEDIASUBTYPE_RecorderAudioG722 ||
          type.subtype == MEDIASUBTYPE_RecorderAudio711);
}

}  // namespace splitter
