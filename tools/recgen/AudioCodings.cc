#include "AudioCodings.h"

#include "recorder/StreamFormat.h"

namespace recgen {
namespace {

constexpr AudioCoding kCodings[] = {
    {recorder::kAudioAdpcm, AV_CODEC_ID_ADPCM_G726, 8000, 32000, 160, "g726", "G.726 32 kbit/s"},
    {recorder::kAudioG722_16, AV_CODEC_ID_ADPCM_G726, 8000, 16000, 80, "g726", "G.726 16 kbit/s"},
    {recorder::kAudioG722_24, AV_CODEC_ID_ADPCM_G726, 8000, 24000, 120, "g726", "G.726 24 kbit/s"},
    {recorder::kAudioG722_32, AV_CODEC_ID_ADPCM_G726, 8000, 32000, 160, "g726", "G.726 32 kbit/s"},
    {recorder::kAudioG711U, AV_CODEC_ID_PCM_MULAW, 8000, 0, 320, "ul", "G.711 mu-law"},
    {recorder::kAudioG711A, AV_CODEC_ID_PCM_ALAW, 8000, 0, 320, "al", "G.711 A-law"},
    {recorder::kAudioG7221, AV_CODEC_ID_ADPCM_G722, 16000, 0, 320, "g722", "G.722 16 kHz"},
};

}  // namespace

const AudioCoding* FindAudioCoding(uint32_t headerCode) {
  const uint32_t code = recorder::NormaliseAudioCodec(headerCode);
  for (const AudioCoding& coding : kCodings) {
    if (coding.code == code) return &coding;
  }
  return nullptr;
}

}  // namespace recgen
