#include "CodecCatalog.h"

#include <cstring>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

constexpr LONG kDefaultVideoWidth = 320;
constexpr LONG kDefaultVideoHeight = 240;
constexpr DWORD kDefaultVideoBitrate = 300000;
constexpr REFERENCE_TIME kDefaultFrameTime = 333333;  // 30 frames per second
constexpr WORD kCompressedBitCount = 24;
constexpr WORD kAudioBitsPerSample = 16;
constexpr int kBitsPerByte = 8;

struct VideoCodecChoice {
  const char16_t* name;
  GUID subtype;
  AVCodecID encoder;
};

// In order of preference.
const VideoCodecChoice kVideoCodecs[] = {
    {u"Windows Media Video 9", WMMEDIASUBTYPE_WMV3, AV_CODEC_ID_WMV3},
    {u"Windows Media Video 8", WMMEDIASUBTYPE_WMV2, AV_CODEC_ID_WMV2},
    {u"Windows Media Video 7", WMMEDIASUBTYPE_WMV1, AV_CODEC_ID_WMV1},
};

struct AudioFormatChoice {
  int sample_rate;
  int channels;
  int bitrate;
};

// From the highest rate down, as the formats of this codec are usually listed. The encoder
// refuses less than 24 kbit/s, so that is the lowest rate offered, also at 16 kHz mono.
const AudioFormatChoice kAudioFormats[] = {
    {48000, 2, 192000}, {48000, 2, 160000}, {48000, 2, 128000}, {48000, 2, 96000},
    {44100, 2, 192000}, {44100, 2, 160000}, {44100, 2, 128000}, {44100, 2, 96000},
    {44100, 2, 64000},  {44100, 2, 48000},  {44100, 1, 64000},  {44100, 1, 48000},
    {32000, 2, 64000},  {32000, 2, 48000},  {32000, 1, 48000},  {32000, 1, 32000},
    {22050, 2, 32000},  {22050, 1, 32000},  {22050, 1, 24000},  {16000, 2, 24000},
    {16000, 1, 24000},  {11025, 1, 24000},  {8000, 1, 24000},
};

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

CodecFormat VideoFormat(const VideoCodecChoice& choice) {
  VIDEOINFOHEADER info{};
  info.dwBitRate = kDefaultVideoBitrate;
  info.AvgTimePerFrame = kDefaultFrameTime;
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kDefaultVideoWidth;
  info.bmiHeader.biHeight = kDefaultVideoHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = kCompressedBitCount;
  info.bmiHeader.biCompression = choice.subtype.Data1;  // the FOURCC
  WM_MEDIA_TYPE type{};
  type.majortype = WMMEDIATYPE_Video;
  type.subtype = choice.subtype;
  type.bTemporalCompression = TRUE;
  type.formattype = WMFORMAT_VideoInfo;
  type.cbFormat = sizeof info;
  type.pbFormat = reinterpret_cast<BYTE*>(&info);
  return CodecFormat{OwnedMediaType(type), kDefaultVideoBitrate, u"Default video format"};
}

// Opens the encoder with the format to learn whether it is accepted and with which block
// size and codec data; nothing if it is refused.
std::optional<CodecFormat> AudioFormat(const AVCodec* codec, const AudioFormatChoice& choice) {
  AVCodecContext* context = avcodec_alloc_context3(codec);
  if (!context) return std::nullopt;
  context->sample_rate = choice.sample_rate;
  context->bit_rate = choice.bitrate;
  context->sample_fmt = AV_SAMPLE_FMT_FLTP;
  av_channel_layout_default(&context->ch_layout, choice.channels);
  std::optional<CodecFormat> format;
  if (avcodec_open2(context, codec, nullptr) == 0) {
    const int extra = context->extradata_size;
    std::vector<BYTE> block(sizeof(WAVEFORMATEX) + extra);
    WAVEFORMATEX wave{};
    wave.wFormatTag = static_cast<WORD>(WMMEDIASUBTYPE_WMAudioV8.Data1);
    wave.nChannels = static_cast<WORD>(choice.channels);
    wave.nSamplesPerSec = static_cast<DWORD>(choice.sample_rate);
    wave.nAvgBytesPerSec = static_cast<DWORD>(choice.bitrate / kBitsPerByte);
    wave.nBlockAlign = static_cast<WORD>(context->block_align);
    wave.wBitsPerSample = kAudioBitsPerSample;
    wave.cbSize = static_cast<WORD>(extra);
    std::memcpy(block.data(), &wave, sizeof wave);
    if (extra > 0) std::memcpy(block.data() + sizeof wave, context->extradata, extra);
    WM_MEDIA_TYPE type{};
    type.majortype = WMMEDIATYPE_Audio;
    type.subtype = WMMEDIASUBTYPE_WMAudioV8;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = wave.nBlockAlign;
    type.formattype = WMFORMAT_WaveFormatEx;
    type.cbFormat = static_cast<ULONG>(block.size());
    type.pbFormat = block.data();
    const std::string description = std::to_string(choice.bitrate / 1000) + " kbps, " +
                                    std::to_string(choice.sample_rate) + " Hz, " +
                                    (choice.channels == 1 ? "mono" : "stereo");
    format = CodecFormat{OwnedMediaType(type), static_cast<DWORD>(choice.bitrate),
                         Ascii(description)};
  }
  avcodec_free_context(&context);
  return format;
}

}  // namespace

const CodecCatalog& CodecCatalog::Instance() {
  static const CodecCatalog catalog;
  return catalog;
}

CodecCatalog::CodecCatalog() {
  for (const VideoCodecChoice& choice : kVideoCodecs) {
    if (!avcodec_find_encoder(choice.encoder)) continue;
    video_.push_back(CodecEntry{choice.name, choice.subtype, choice.encoder, {VideoFormat(choice)}});
  }
  if (const AVCodec* wma = avcodec_find_encoder(AV_CODEC_ID_WMAV2)) {
    CodecEntry entry{u"Windows Media Audio 8", WMMEDIASUBTYPE_WMAudioV8, AV_CODEC_ID_WMAV2, {}};
    for (const AudioFormatChoice& choice : kAudioFormats)
      if (auto format = AudioFormat(wma, choice)) entry.formats.push_back(std::move(*format));
    if (!entry.formats.empty()) audio_.push_back(std::move(entry));
  }
}

const std::vector<CodecEntry>* CodecCatalog::CodecsOf(const GUID& major_type) const {
  if (major_type == WMMEDIATYPE_Video) return &video_;
  if (major_type == WMMEDIATYPE_Audio) return &audio_;
  return nullptr;
}

std::optional<AVCodecID> CodecCatalog::EncoderFor(const GUID& subtype) const {
  for (const auto* list : {&video_, &audio_})
    for (const CodecEntry& entry : *list)
      if (entry.subtype == subtype) return entry.encoder;
  return std::nullopt;
}
