#include "AudioBlockDecoder.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include "recorder/StreamFormat.h"

namespace vendor {
namespace {

constexpr int kNarrowBand = 8000;
constexpr int kWideBand = 16000;
constexpr size_t kPcmSampleBytes = 2;

struct CodeDecoding {
  uint32_t code;
  AudioDecoding decoding;
};

// G.726 code sizes: 2, 3 and 4 bits per sample give 16, 24 and 32 kbit/s at 8 kHz.
constexpr CodeDecoding kDecodings[] = {
    {recorder::kAudioAdpcm, {AV_CODEC_ID_ADPCM_G726, kNarrowBand, 4}},
    {recorder::kAudioG722_16, {AV_CODEC_ID_ADPCM_G726, kNarrowBand, 2}},
    {recorder::kAudioG722_24, {AV_CODEC_ID_ADPCM_G726, kNarrowBand, 3}},
    {recorder::kAudioG722_32, {AV_CODEC_ID_ADPCM_G726, kNarrowBand, 4}},
    {recorder::kAudioG711U, {AV_CODEC_ID_PCM_MULAW, kNarrowBand, 0}},
    {recorder::kAudioG711A, {AV_CODEC_ID_PCM_ALAW, kNarrowBand, 0}},
    {recorder::kAudioG7221, {AV_CODEC_ID_ADPCM_G722, kWideBand, 0}},
};

}  // namespace

const AudioDecoding* AudioBlockDecoder::DecodingFor(uint32_t normalisedCodec) {
  for (const CodeDecoding& entry : kDecodings) {
    if (entry.code == normalisedCodec) return &entry.decoding;
  }
  return nullptr;
}

std::unique_ptr<AudioBlockDecoder> AudioBlockDecoder::Create(uint32_t normalisedCodec) {
  const AudioDecoding* decoding = DecodingFor(normalisedCodec);
  if (!decoding) return nullptr;
  const AVCodec* codec = avcodec_find_decoder(static_cast<AVCodecID>(decoding->codecId));
  if (!codec) return nullptr;
  AVCodecContext* context = avcodec_alloc_context3(codec);
  if (!context) return nullptr;
  context->sample_rate = decoding->sampleRate;
  av_channel_layout_default(&context->ch_layout, 1);
  context->bits_per_coded_sample = decoding->bitsPerCode;
  if (avcodec_open2(context, codec, nullptr) < 0) {
    avcodec_free_context(&context);
    return nullptr;
  }
  std::unique_ptr<AudioBlockDecoder> decoder(new AudioBlockDecoder(context, decoding->sampleRate));
  if (!decoder->packet_ || !decoder->frame_) return nullptr;
  return decoder;
}

AudioBlockDecoder::AudioBlockDecoder(AVCodecContext* context, int sampleRate)
    : context_(context), packet_(av_packet_alloc()), frame_(av_frame_alloc()),
      sampleRate_(sampleRate) {}

AudioBlockDecoder::~AudioBlockDecoder() {
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  avcodec_free_context(&context_);
}

void AudioBlockDecoder::Reset() { avcodec_flush_buffers(context_); }

long AudioBlockDecoder::Decode(recorder::ByteSpan payload, uint8_t* pcm, size_t capacity) {
  if (payload.empty() || payload.size() > static_cast<size_t>(INT32_MAX)) return -1;
  // The packet borrows the payload; libavcodec copies a packet without a buffer of its own
  // into a padded one before decoding.
  packet_->data = const_cast<uint8_t*>(payload.data());
  packet_->size = static_cast<int>(payload.size());
  const int sent = avcodec_send_packet(context_, packet_);
  packet_->data = nullptr;
  packet_->size = 0;
  if (sent < 0) return -1;
  size_t written = 0;
  for (;;) {
    const int result = avcodec_receive_frame(context_, frame_);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) break;
    if (result < 0) return -1;
    const bool fits = CopySamples(*frame_, pcm, capacity, written);
    av_frame_unref(frame_);
    if (!fits) return -1;
  }
  return static_cast<long>(written);
}

bool AudioBlockDecoder::CopySamples(const AVFrame& frame, uint8_t* pcm, size_t capacity,
                                    size_t& written) const {
  const auto format = static_cast<AVSampleFormat>(frame.format);
  // Mono: the packed and planar forms of 16-bit samples are the same bytes.
  if ((format != AV_SAMPLE_FMT_S16 && format != AV_SAMPLE_FMT_S16P) ||
      frame.ch_layout.nb_channels != 1 || frame.nb_samples < 0)
    return false;
  const size_t bytes = static_cast<size_t>(frame.nb_samples) * kPcmSampleBytes;
  if (bytes > capacity - written) return false;
  std::memcpy(pcm + written, frame.extended_data[0], bytes);
  written += bytes;
  return true;
}

}  // namespace vendor
