#include "AacEncoder.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "CopyMuxIds.h"

namespace {

static_assert(AacEncoder::kOutputRate == kCopyMuxAacRate);
constexpr int64_t kBitRate = kCopyMuxAacBitRate;
// Late starts within one recorder audio block (40 ms) are jitter, not lost data.
constexpr int64_t kJitterSamples = AacEncoder::kOutputRate / 25;
// Gaps beyond ten minutes are not trusted and not filled.
constexpr int64_t kMaxGapSamples = 600LL * AacEncoder::kOutputRate;
constexpr int kSilenceChunk = 4096;

}  // namespace

AacEncoder::~AacEncoder() { Close(); }

void AacEncoder::Close() {
  avcodec_free_context(&m_codec);
  swr_free(&m_swr);
  if (m_fifo) av_audio_fifo_free(m_fifo);
  m_fifo = nullptr;
  av_frame_free(&m_frame);
  av_packet_free(&m_packet);
}

HRESULT AacEncoder::Open(int inputRate, int inputChannels) {
  Close();
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (!codec || inputRate <= 0 || inputChannels <= 0) return E_FAIL;
  m_codec = avcodec_alloc_context3(codec);
  m_frame = av_frame_alloc();
  m_packet = av_packet_alloc();
  m_fifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 1, kSilenceChunk);
  if (!m_codec || !m_frame || !m_packet || !m_fifo) return E_OUTOFMEMORY;
  m_codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
  m_codec->sample_rate = kOutputRate;
  m_codec->bit_rate = kBitRate;
  m_codec->time_base = AVRational{1, kOutputRate};
  av_channel_layout_default(&m_codec->ch_layout, 1);
  // Sound recorded at a lower rate has nothing above half that rate once resampled: the encoder
  // is told so and spends no bits or search on the empty bands (half its work for 8 kHz sound).
  if (inputRate < kOutputRate) m_codec->cutoff = inputRate / 2;
  // Containers keep the configuration in the sample description, not in every packet.
  m_codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(m_codec, codec, nullptr) < 0) return E_FAIL;

  AVChannelLayout in{};
  av_channel_layout_default(&in, inputChannels);
  const int made = swr_alloc_set_opts2(&m_swr, &m_codec->ch_layout, AV_SAMPLE_FMT_FLT, kOutputRate,
                                       &in, AV_SAMPLE_FMT_S16, inputRate, 0, nullptr);
  av_channel_layout_uninit(&in);
  if (made < 0 || swr_init(m_swr) < 0) return E_FAIL;
  m_queued = 0;
  m_encoded = 0;
  return S_OK;
}

const uint8_t* AacEncoder::Extradata() const { return m_codec ? m_codec->extradata : nullptr; }
int AacEncoder::ExtradataSize() const { return m_codec ? m_codec->extradata_size : 0; }

HRESULT AacEncoder::Convert(const uint8_t* const* input, int frames) {
  const int room = swr_get_out_samples(m_swr, frames);
  if (room < 0) return E_FAIL;
  m_converted.resize(static_cast<size_t>(room));
  uint8_t* output = reinterpret_cast<uint8_t*>(m_converted.data());
  const int converted = swr_convert(m_swr, &output, room, const_cast<const uint8_t**>(input), frames);
  if (converted < 0) return E_FAIL;
  void* planes[] = {m_converted.data()};
  if (converted > 0 && av_audio_fifo_write(m_fifo, planes, converted) < converted) return E_OUTOFMEMORY;
  m_queued += converted;
  return S_OK;
}

HRESULT AacEncoder::Push(const int16_t* samples, int frames, int64_t start,
                         std::vector<EncodedPacket>& out) {
  if (!m_codec) return E_UNEXPECTED;
  if (frames <= 0) return S_OK;
  // The resampler holds a few samples back; what it has taken in counts as queued.
  const int64_t reached = m_queued + swr_get_delay(m_swr, kOutputRate);
  int64_t gap = start >= 0 ? start - reached : 0;
  if (gap > kJitterSamples && gap <= kMaxGapSamples) {
    static const float kSilence[kSilenceChunk] = {};
    while (gap > 0) {
      const int now = static_cast<int>(std::min<int64_t>(gap, kSilenceChunk));
      void* planes[] = {const_cast<float*>(kSilence)};
      if (av_audio_fifo_write(m_fifo, planes, now) < now) return E_OUTOFMEMORY;
      m_queued += now;
      gap -= now;
    }
  }
  const uint8_t* input = reinterpret_cast<const uint8_t*>(samples);
  const HRESULT hr = Convert(&input, frames);
  if (FAILED(hr)) return hr;
  return EncodeFull(false, out);
}

HRESULT AacEncoder::Flush(std::vector<EncodedPacket>& out) {
  if (!m_codec) return E_UNEXPECTED;
  HRESULT hr = Convert(nullptr, 0);
  if (SUCCEEDED(hr)) hr = EncodeFull(true, out);
  if (FAILED(hr)) return hr;
  if (avcodec_send_frame(m_codec, nullptr) < 0) return E_FAIL;
  return Drain(out);
}

HRESULT AacEncoder::EncodeFull(bool flush, std::vector<EncodedPacket>& out) {
  const int frameSize = m_codec->frame_size > 0 ? m_codec->frame_size : 1024;
  while (av_audio_fifo_size(m_fifo) >= frameSize || (flush && av_audio_fifo_size(m_fifo) > 0)) {
    const int now = std::min(frameSize, av_audio_fifo_size(m_fifo));
    av_frame_unref(m_frame);
    m_frame->nb_samples = now;
    m_frame->format = AV_SAMPLE_FMT_FLTP;
    m_frame->sample_rate = kOutputRate;
    if (av_channel_layout_copy(&m_frame->ch_layout, &m_codec->ch_layout) < 0 ||
        av_frame_get_buffer(m_frame, 0) < 0)
      return E_OUTOFMEMORY;
    if (av_audio_fifo_read(m_fifo, reinterpret_cast<void**>(m_frame->data), now) < now) return E_FAIL;
    m_frame->pts = m_encoded;
    m_encoded += now;
    if (avcodec_send_frame(m_codec, m_frame) < 0) return E_FAIL;
    const HRESULT hr = Drain(out);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT AacEncoder::Drain(std::vector<EncodedPacket>& out) {
  for (;;) {
    const int result = avcodec_receive_packet(m_codec, m_packet);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return S_OK;
    if (result < 0) return E_FAIL;
    EncodedPacket packet;
    packet.data.assign(m_packet->data, m_packet->data + m_packet->size);
    packet.pts = m_packet->pts;
    packet.duration = m_packet->duration;
    out.push_back(std::move(packet));
    av_packet_unref(m_packet);
  }
}
