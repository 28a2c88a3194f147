#include "RecorderCaps.h"

#include "AudioBlockDecoder.h"
#include "RecorderVideoDecoder.h"

namespace recastgst {
namespace {

constexpr int kMonoChannels = 1;

}  // namespace

GstCaps* VideoCapsFor(const recorder::FileHeader& header, const recorder::GroupHeader& group) {
  GstCaps* caps = nullptr;
  switch (vendor::RecorderVideoDecoder::CodecForMagic(header.magic)) {
    case AV_CODEC_ID_H264:
      caps = gst_caps_new_simple("video/x-h264", "stream-format", G_TYPE_STRING, "byte-stream",
                                 "alignment", G_TYPE_STRING, "au", nullptr);
      break;
    case AV_CODEC_ID_MPEG4:
      caps = gst_caps_new_simple("video/mpeg", "mpegversion", G_TYPE_INT, 4, "systemstream",
                                 G_TYPE_BOOLEAN, FALSE, nullptr);
      break;
    default: return nullptr;
  }
  const recorder::PictureSize size = recorder::DeriveStreamParams(header).size;
  gst_caps_set_simple(caps, "width", G_TYPE_INT, size.width, "height", G_TYPE_INT, size.height,
                      nullptr);
  // A group without a rate leaves it open: the time stamps alone say when frames play.
  const int fps = group.frameRateCode > recorder::kFrameRateBase
                      ? static_cast<int>(group.frameRateCode - recorder::kFrameRateBase)
                      : 0;
  gst_caps_set_simple(caps, "framerate", GST_TYPE_FRACTION, fps, 1, nullptr);
  return caps;
}

GstCaps* AudioCapsFor(const recorder::FileHeader& header) {
  const vendor::AudioDecoding* decoding =
      vendor::AudioBlockDecoder::DecodingFor(recorder::NormaliseAudioCodec(header.audioCodec));
  if (!decoding) return nullptr;
  GstCaps* caps = nullptr;
  switch (decoding->codecId) {
    case AV_CODEC_ID_ADPCM_G726:
      caps = gst_caps_new_simple("audio/x-adpcm", "layout", G_TYPE_STRING, "g726", "bitrate",
                                 G_TYPE_INT, decoding->bitsPerCode * decoding->sampleRate, nullptr);
      break;
    case AV_CODEC_ID_PCM_MULAW: caps = gst_caps_new_empty_simple("audio/x-mulaw"); break;
    case AV_CODEC_ID_PCM_ALAW: caps = gst_caps_new_empty_simple("audio/x-alaw"); break;
    case AV_CODEC_ID_ADPCM_G722: caps = gst_caps_new_empty_simple("audio/G722"); break;
    default: return nullptr;
  }
  gst_caps_set_simple(caps, "rate", G_TYPE_INT, decoding->sampleRate, "channels", G_TYPE_INT,
                      kMonoChannels, nullptr);
  return caps;
}

}  // namespace recastgst
