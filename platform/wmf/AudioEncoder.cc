#include "AudioEncoder.h"

#include <algorithm>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include "InputFormats.h"

namespace {

constexpr AVSampleFormat kEncoderSampleFormat = AV_SAMPLE_FMT_FLTP;
constexpr AVRational kUnitTime{1, 10000000};
constexpr int kMaxGapSeconds = 10;

}  // namespace

AudioEncoder::~AudioEncoder() {
  avcodec_free_context(&encoder_);
  swr_free(&resampler_);
  if (fifo_) av_audio_fifo_free(fifo_);
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  if (converted_) av_freep(&converted_[0]);
  av_freep(&converted_);
}

HRESULT AudioEncoder::ConfigureEncoder(const AudioSettings& settings, bool global_header) {
  const AVCodec* codec = avcodec_find_encoder(settings.codec);
  if (!codec) return NS_E_AUDIO_CODEC_NOT_INSTALLED;
  encoder_ = avcodec_alloc_context3(codec);
  if (!encoder_) return E_OUTOFMEMORY;
  encoder_->sample_rate = settings.sample_rate;
  encoder_->sample_fmt = kEncoderSampleFormat;
  av_channel_layout_default(&encoder_->ch_layout, settings.channels);
  encoder_->bit_rate = settings.bit_rate;
  encoder_->time_base = AVRational{1, settings.sample_rate};
  if (global_header) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  encoder_->thread_count = 0;
  if (avcodec_open2(encoder_, codec, nullptr) != 0 || encoder_->frame_size <= 0)
    return NS_E_INVALID_STREAM;
  return S_OK;
}

HRESULT AudioEncoder::ConfigureResampler(const WAVEFORMATEX& input) {
  if (!IsUsablePcm(input)) return NS_E_INVALID_INPUT_FORMAT;
  const AVSampleFormat format = PcmSampleFormat(input.wBitsPerSample);
  AVChannelLayout layout;
  av_channel_layout_default(&layout, input.nChannels);
  const int result = swr_alloc_set_opts2(&resampler_, &encoder_->ch_layout, kEncoderSampleFormat,
                                         encoder_->sample_rate, &layout, format,
                                         static_cast<int>(input.nSamplesPerSec), 0, nullptr);
  av_channel_layout_uninit(&layout);
  if (result < 0 || swr_init(resampler_) < 0) return NS_E_INVALID_INPUT_FORMAT;
  input_block_ = input.nBlockAlign;
  input_rate_ = static_cast<int>(input.nSamplesPerSec);
  return S_OK;
}

HRESULT AudioEncoder::Open(const AudioSettings& settings, const WAVEFORMATEX& input,
                           bool global_header) {
  if (HRESULT hr = ConfigureEncoder(settings, global_header); FAILED(hr)) return hr;
  if (HRESULT hr = ConfigureResampler(input); FAILED(hr)) return hr;
  const int channels = encoder_->ch_layout.nb_channels;
  fifo_ = av_audio_fifo_alloc(kEncoderSampleFormat, channels, encoder_->frame_size * 4);
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (!fifo_ || !frame_ || !packet_) return E_OUTOFMEMORY;
  frame_->format = kEncoderSampleFormat;
  frame_->nb_samples = encoder_->frame_size;
  frame_->sample_rate = encoder_->sample_rate;
  if (av_channel_layout_copy(&frame_->ch_layout, &encoder_->ch_layout) < 0 ||
      av_frame_get_buffer(frame_, 0) < 0)
    return E_OUTOFMEMORY;
  return Reserve(encoder_->frame_size);
}

HRESULT AudioEncoder::Reserve(int samples) {
  if (samples <= converted_capacity_) return S_OK;
  if (converted_) av_freep(&converted_[0]);
  av_freep(&converted_);
  converted_capacity_ = 0;
  if (av_samples_alloc_array_and_samples(&converted_, nullptr, encoder_->ch_layout.nb_channels,
                                         samples, kEncoderSampleFormat, 0) < 0)
    return E_OUTOFMEMORY;
  converted_capacity_ = samples;
  return S_OK;
}

HRESULT AudioEncoder::QueueSilence(int64_t samples) {
  const int channels = encoder_->ch_layout.nb_channels;
  while (samples > 0) {
    const int chunk = static_cast<int>(std::min<int64_t>(samples, converted_capacity_));
    av_samples_set_silence(converted_, 0, chunk, channels, kEncoderSampleFormat);
    if (av_audio_fifo_write(fifo_, reinterpret_cast<void**>(converted_), chunk) < chunk)
      return E_OUTOFMEMORY;
    samples -= chunk;
  }
  return S_OK;
}

HRESULT AudioEncoder::Encode(const BYTE* data, size_t size, REFERENCE_TIME time, DWORD flags,
                             PacketOutput& output, int stream) {
  if (!encoder_) return NS_E_INVALID_REQUEST;
  if (!data && size > 0) return E_POINTER;
  const int64_t start = av_rescale_q(std::max<REFERENCE_TIME>(time, 0), kUnitTime,
                                     encoder_->time_base);
  if (!started_) {
    started_ = true;
    next_pts_ = start;
  } else if (flags & WM_SF_DISCONTINUITY) {
    const int64_t reached = next_pts_ + av_audio_fifo_size(fifo_) +
                            swr_get_delay(resampler_, encoder_->sample_rate);
    const int64_t gap = std::min<int64_t>(start - reached,
                                          int64_t{kMaxGapSeconds} * encoder_->sample_rate);
    if (gap > encoder_->frame_size)
      if (HRESULT hr = QueueSilence(gap); FAILED(hr)) return hr;
  }
  const size_t frames = size / static_cast<size_t>(input_block_);
  if (frames > static_cast<size_t>(int64_t{kMaxGapSeconds} * input_rate_)) return E_INVALIDARG;
  const int in_samples = static_cast<int>(frames);
  if (HRESULT hr = Reserve(swr_get_out_samples(resampler_, in_samples)); FAILED(hr)) return hr;
  const uint8_t* in[] = {data};
  const int converted =
      swr_convert(resampler_, converted_, converted_capacity_, in_samples ? in : nullptr,
                  in_samples);
  if (converted < 0) return E_FAIL;
  if (av_audio_fifo_write(fifo_, reinterpret_cast<void**>(converted_), converted) < converted)
    return E_OUTOFMEMORY;
  return EncodeQueued(false, output, stream);
}

HRESULT AudioEncoder::EncodeQueued(bool final, PacketOutput& output, int stream) {
  for (;;) {
    const int queued = av_audio_fifo_size(fifo_);
    if (queued == 0 || (!final && queued < encoder_->frame_size)) return S_OK;
    const int samples = std::min(queued, encoder_->frame_size);
    if (av_frame_make_writable(frame_) < 0) return E_OUTOFMEMORY;
    frame_->nb_samples = samples;
    if (av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame_->data), samples) < samples)
      return E_UNEXPECTED;
    frame_->pts = next_pts_;
    next_pts_ += samples;
    if (HRESULT hr = EncodeAndDrain(encoder_, frame_, packet_, output, stream); FAILED(hr))
      return hr;
  }
}

HRESULT AudioEncoder::Finish(PacketOutput& output, int stream) {
  if (!encoder_ || !started_) return S_OK;
  if (HRESULT hr = Reserve(swr_get_out_samples(resampler_, 0)); FAILED(hr)) return hr;
  const int flushed = swr_convert(resampler_, converted_, converted_capacity_, nullptr, 0);
  if (flushed > 0 &&
      av_audio_fifo_write(fifo_, reinterpret_cast<void**>(converted_), flushed) < flushed)
    return E_OUTOFMEMORY;
  if (HRESULT hr = EncodeQueued(true, output, stream); FAILED(hr)) return hr;
  return EncodeAndDrain(encoder_, nullptr, packet_, output, stream);
}
