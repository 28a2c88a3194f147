#include "AviStreamFormat.h"

#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;
// Frame duration assumed when a video type does not give one (25 frames per second).
constexpr REFERENCE_TIME kDefaultFrameDuration = kUnitsPerSecond / 25;
constexpr int kMaxDimension = 16384;
constexpr int kMaxChannels = 8;
constexpr int kBitsPerByte = 8;

AVCodecID VideoCodec(DWORD compression, int bitCount) {
  if (compression == BI_RGB) return bitCount > 0 ? AV_CODEC_ID_RAWVIDEO : AV_CODEC_ID_NONE;
  const AVCodecTag* const tables[] = {avformat_get_riff_video_tags(), nullptr};
  return av_codec_get_id(tables, compression);
}

AVCodecID AudioCodec(WORD tag, int bitsPerSample) {
  if (tag == WAVE_FORMAT_PCM) {
    switch (bitsPerSample) {
      case 8: return AV_CODEC_ID_PCM_U8;
      case 16: return AV_CODEC_ID_PCM_S16LE;
      case 24: return AV_CODEC_ID_PCM_S24LE;
      case 32: return AV_CODEC_ID_PCM_S32LE;
      default: return AV_CODEC_ID_NONE;
    }
  }
  const AVCodecTag* const tables[] = {avformat_get_riff_audio_tags(), nullptr};
  return av_codec_get_id(tables, tag);
}

HRESULT DescribeVideo(const CMediaType& mt, AVCodecParameters* par, AviStreamFormat* format) {
  if (mt.formattype != FORMAT_VideoInfo || mt.cbFormat < sizeof(VIDEOINFOHEADER) || !mt.pbFormat)
    return VFW_E_TYPE_NOT_ACCEPTED;
  VIDEOINFOHEADER vih;
  std::memcpy(&vih, mt.pbFormat, sizeof(vih));
  const BITMAPINFOHEADER& bmi = vih.bmiHeader;
  const LONG height = bmi.biHeight < 0 ? -bmi.biHeight : bmi.biHeight;
  if (bmi.biWidth <= 0 || bmi.biWidth > kMaxDimension || height <= 0 || height > kMaxDimension)
    return VFW_E_TYPE_NOT_ACCEPTED;
  const AVCodecID codec = VideoCodec(bmi.biCompression, bmi.biBitCount);
  if (codec == AV_CODEC_ID_NONE) return VFW_E_TYPE_NOT_ACCEPTED;
  const REFERENCE_TIME frame = vih.AvgTimePerFrame > 0 ? vih.AvgTimePerFrame : kDefaultFrameDuration;
  if (format) {
    format->type = AVMEDIA_TYPE_VIDEO;
    format->frameDuration = frame;
    av_reduce(&format->timeBase.num, &format->timeBase.den, frame, kUnitsPerSecond, INT32_MAX);
  }
  if (par) {
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = codec;
    par->codec_tag = bmi.biCompression;
    par->width = bmi.biWidth;
    par->height = height;
    par->bits_per_coded_sample = bmi.biBitCount;
    par->bit_rate = vih.dwBitRate;
  }
  return S_OK;
}

HRESULT DescribeAudio(const CMediaType& mt, AVCodecParameters* par, AviStreamFormat* format) {
  if (mt.formattype != FORMAT_WaveFormatEx || mt.cbFormat < sizeof(WAVEFORMATEX) || !mt.pbFormat)
    return VFW_E_TYPE_NOT_ACCEPTED;
  WAVEFORMATEX wfx;
  std::memcpy(&wfx, mt.pbFormat, sizeof(wfx));
  if (wfx.nChannels == 0 || wfx.nChannels > kMaxChannels || wfx.nSamplesPerSec == 0 ||
      wfx.nBlockAlign == 0)
    return VFW_E_TYPE_NOT_ACCEPTED;
  const AVCodecID codec = AudioCodec(wfx.wFormatTag, wfx.wBitsPerSample);
  if (codec == AV_CODEC_ID_NONE) return VFW_E_TYPE_NOT_ACCEPTED;
  if (wfx.wFormatTag == WAVE_FORMAT_PCM &&
      wfx.nBlockAlign != wfx.nChannels * wfx.wBitsPerSample / kBitsPerByte)
    return VFW_E_TYPE_NOT_ACCEPTED;
  if (format) {
    format->type = AVMEDIA_TYPE_AUDIO;
    format->timeBase = AVRational{1, static_cast<int>(wfx.nSamplesPerSec)};
    format->blockAlign = wfx.nBlockAlign;
    format->pcm = wfx.wFormatTag == WAVE_FORMAT_PCM;
    format->unsignedPcm = codec == AV_CODEC_ID_PCM_U8;
  }
  if (par) {
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = codec;
    par->codec_tag = wfx.wFormatTag;
    par->sample_rate = static_cast<int>(wfx.nSamplesPerSec);
    av_channel_layout_default(&par->ch_layout, wfx.nChannels);
    par->block_align = wfx.nBlockAlign;
    par->bits_per_coded_sample = wfx.wBitsPerSample;
    par->bit_rate = static_cast<int64_t>(wfx.nAvgBytesPerSec) * kBitsPerByte;
  }
  return S_OK;
}

}  // namespace

HRESULT DescribeAviStream(const CMediaType& mt, AVCodecParameters* par, AviStreamFormat* format) {
  if (mt.majortype == MEDIATYPE_Video) return DescribeVideo(mt, par, format);
  if (mt.majortype == MEDIATYPE_Audio) return DescribeAudio(mt, par, format);
  return VFW_E_TYPE_NOT_ACCEPTED;
}
