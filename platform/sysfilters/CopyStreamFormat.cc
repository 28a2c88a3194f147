#include "CopyStreamFormat.h"

#include <cstring>

#include "recorder/RecorderMediaTypes.h"

namespace {

constexpr int kMaxDimension = 16384;
constexpr int kMaxChannels = 2;
constexpr int kMaxSampleRate = 192000;
constexpr WORD kPcmBits = 16;
constexpr int kG711Rate = 8000;
constexpr REFERENCE_TIME kDefaultFrameDuration = 400000;  // 25 frames per second

std::optional<recorder::FileHeader> HeaderOf(const CMediaType& mt, size_t after) {
  if (!mt.pbFormat || mt.cbFormat < recorder::kFileHeaderSize + after) return std::nullopt;
  return recorder::FileHeaderOfFormat(recorder::ByteSpan(mt.pbFormat, mt.cbFormat));
}

}  // namespace

const char* ContainerName(CopyContainer container) {
  return container == CopyContainer::Mp4 ? "mp4" : "matroska";
}

HRESULT DescribeCopyVideo(const CMediaType& mt, CopyStreamFormat& format) {
  if (mt.majortype != MEDIATYPE_RecorderStream || mt.formattype != FORMAT_VideoInfo ||
      (mt.subtype != MEDIASUBTYPE_RecorderVideo && mt.subtype != MEDIASUBTYPE_RecorderVideo2))
    return VFW_E_TYPE_NOT_ACCEPTED;
  const auto header = HeaderOf(mt, sizeof(VIDEOINFOHEADER));
  if (!header) return VFW_E_TYPE_NOT_ACCEPTED;
  switch (header->magic) {
    case recorder::kMagic4HLQ: format.videoCodec = ElementaryCodec::H264; break;
    case recorder::kMagic4MLQ:
    case recorder::kMagic4MSH: format.videoCodec = ElementaryCodec::Mpeg4Part2; break;
    default: return VFW_E_TYPE_NOT_ACCEPTED;
  }
  VIDEOINFOHEADER vih;
  std::memcpy(&vih, mt.pbFormat + recorder::kFileHeaderSize, sizeof(vih));
  const LONG height = vih.bmiHeader.biHeight < 0 ? -vih.bmiHeader.biHeight : vih.bmiHeader.biHeight;
  if (vih.bmiHeader.biWidth <= 0 || vih.bmiHeader.biWidth > kMaxDimension || height <= 0 ||
      height > kMaxDimension)
    return VFW_E_TYPE_NOT_ACCEPTED;
  format.input = CopyInput::Video;
  format.width = vih.bmiHeader.biWidth;
  format.height = height;
  format.frameDuration = vih.AvgTimePerFrame > 0 ? vih.AvgTimePerFrame : kDefaultFrameDuration;
  return S_OK;
}

HRESULT DescribeCopyAudio(const CMediaType& mt, CopyContainer container, CopyStreamFormat& format) {
  if (mt.majortype == MEDIATYPE_RecorderStream && mt.subtype == MEDIASUBTYPE_RecorderAudio711) {
    if (container != CopyContainer::Matroska) return VFW_E_TYPE_NOT_ACCEPTED;
    const auto header = HeaderOf(mt, 0);
    if (!header) return VFW_E_TYPE_NOT_ACCEPTED;
    const uint32_t codec = recorder::NormaliseAudioCodec(header->audioCodec);
    if (codec != recorder::kAudioG711U && codec != recorder::kAudioG711A)
      return VFW_E_TYPE_NOT_ACCEPTED;
    format.input = CopyInput::G711;
    format.aLaw = codec == recorder::kAudioG711A;
    format.sampleRate = kG711Rate;
    format.channels = 1;
    return S_OK;
  }
  if (mt.majortype != MEDIATYPE_Audio || mt.subtype != MEDIASUBTYPE_PCM ||
      mt.formattype != FORMAT_WaveFormatEx || !mt.pbFormat || mt.cbFormat < sizeof(WAVEFORMATEX))
    return VFW_E_TYPE_NOT_ACCEPTED;
  WAVEFORMATEX wfx;
  std::memcpy(&wfx, mt.pbFormat, sizeof(wfx));
  if (wfx.wFormatTag != WAVE_FORMAT_PCM || wfx.wBitsPerSample != kPcmBits || wfx.nChannels == 0 ||
      wfx.nChannels > kMaxChannels || wfx.nSamplesPerSec == 0 || wfx.nSamplesPerSec > kMaxSampleRate)
    return VFW_E_TYPE_NOT_ACCEPTED;
  format.input = CopyInput::Pcm;
  format.sampleRate = static_cast<int>(wfx.nSamplesPerSec);
  format.channels = wfx.nChannels;
  return S_OK;
}
