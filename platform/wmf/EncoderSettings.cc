#include "EncoderSettings.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "CodecCatalog.h"

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;  // 100 ns units
constexpr int kMillisecondsPerSecond = 1000;
constexpr int kMaxFrameRateTerm = 1000;        // frame rates are approximated within 1/1000
constexpr int kMaxDimension = 4096;
constexpr uint64_t kMaxQuality = 100;
constexpr uint64_t kMaxComplexity = 4;
constexpr uint64_t kDefaultComplexity = 2;
constexpr int kMaxBufferBits = 1 << 30;
// Quality 0 keeps the bit rate steady frame by frame, 100 keeps the quantiser steady.
constexpr float kSteadyRateCompression = 0.25f;
constexpr float kSteadyQualityCompression = 0.75f;

int BufferBits(int64_t rate, uint64_t milliseconds) {
  const int64_t bits = rate * static_cast<int64_t>(milliseconds) / kMillisecondsPerSecond;
  return static_cast<int>(std::clamp<int64_t>(bits, 0, kMaxBufferBits));
}

MotionSearch SearchFor(uint64_t complexity) {
  if (complexity == 0) return MotionSearch::kNone;
  return complexity < kMaxComplexity ? MotionSearch::kStandard : MotionSearch::kRateDistortion;
}

void ApplyRateControl(const StreamPlan& plan, const VIDEOINFOHEADER& info,
                      VideoSettings* settings) {
  const auto& props = plan.properties;
  settings->bit_rate = plan.bitrate ? plan.bitrate : info.dwBitRate;
  settings->constant_quality = props.Number(kVbrEnabledProperty).value_or(0) != 0;
  if (settings->constant_quality) {
    settings->quantiser = QuantiserForQuality(props.Number(kVbrQualityProperty).value_or(0));
    const uint64_t peak = props.Number(kPeakBitrateProperty).value_or(0);
    if (peak > 0) {
      settings->max_rate = static_cast<int64_t>(std::min<uint64_t>(peak, INT32_MAX));
      uint64_t window = props.Number(kPeakBufferProperty).value_or(0);
      if (window == 0) window = plan.buffer_window;
      settings->buffer_bits = BufferBits(settings->max_rate, window);
    }
  } else {
    settings->rate_tolerance_bits = BufferBits(settings->bit_rate, plan.buffer_window);
  }
}

}  // namespace

int QuantiserForQuality(uint64_t quality) {
  const uint64_t q = std::clamp<uint64_t>(quality, 1, kMaxQuality);
  const double span = kWorstQuantiser - kBestQuantiser;
  return kWorstQuantiser - static_cast<int>(std::lround(double(q - 1) * span / (kMaxQuality - 1)));
}

HRESULT MakeVideoSettings(const StreamPlan& plan, VideoSettings* settings) {
  if (!settings) return E_POINTER;
  const VIDEOINFOHEADER* info = plan.media_type.FormatAs<VIDEOINFOHEADER>();
  if (!plan.IsVideo() || !info || plan.media_type.Get().formattype != WMFORMAT_VideoInfo)
    return NS_E_INVALID_STREAM;
  const auto codec = CodecCatalog::Instance().EncoderFor(plan.media_type.Get().subtype);
  if (!codec) return NS_E_VIDEO_CODEC_NOT_INSTALLED;
  const int width = info->bmiHeader.biWidth;
  const int height = std::abs(info->bmiHeader.biHeight);
  // 4:2:0 pictures need even sizes.
  if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension ||
      width % 2 || height % 2 || info->AvgTimePerFrame <= 0)
    return NS_E_INVALID_STREAM;
  *settings = VideoSettings{};
  settings->codec = *codec;
  settings->width = width;
  settings->height = height;
  av_reduce(&settings->frame_rate.num, &settings->frame_rate.den, kUnitsPerSecond,
            info->AvgTimePerFrame, kMaxFrameRateTerm);
  if (settings->frame_rate.num <= 0) return NS_E_INVALID_STREAM;
  ApplyRateControl(plan, *info, settings);
  if (!settings->constant_quality && settings->bit_rate <= 0) return NS_E_INVALID_STREAM;
  if (plan.key_frame_spacing > 0) {
    const int64_t frames = av_rescale(plan.key_frame_spacing, settings->frame_rate.num,
                                      kUnitsPerSecond * settings->frame_rate.den);
    settings->group_length = static_cast<int>(std::clamp<int64_t>(frames, 1, INT16_MAX));
  }
  settings->quantiser_compression =
      kSteadyRateCompression + (kSteadyQualityCompression - kSteadyRateCompression) *
                                   static_cast<float>(std::min<DWORD>(plan.quality, 100)) / 100;
  settings->motion_search =
      SearchFor(plan.properties.Number(kComplexityProperty).value_or(kDefaultComplexity));
  return S_OK;
}

HRESULT MakeAudioSettings(const StreamPlan& plan, AudioSettings* settings) {
  if (!settings) return E_POINTER;
  const WAVEFORMATEX* wave = plan.media_type.FormatAs<WAVEFORMATEX>();
  if (plan.IsVideo() || !wave || plan.media_type.Get().formattype != WMFORMAT_WaveFormatEx)
    return NS_E_INVALID_STREAM;
  const auto codec = CodecCatalog::Instance().EncoderFor(plan.media_type.Get().subtype);
  if (!codec) return NS_E_AUDIO_CODEC_NOT_INSTALLED;
  if (wave->nSamplesPerSec == 0 || wave->nChannels == 0) return NS_E_INVALID_STREAM;
  *settings = AudioSettings{};
  settings->codec = *codec;
  settings->sample_rate = static_cast<int>(wave->nSamplesPerSec);
  settings->channels = wave->nChannels;
  // The format's own rate is what the encoder runs at; the stream's declared rate may be
  // lower than the encoder accepts.
  const int64_t format_rate = static_cast<int64_t>(wave->nAvgBytesPerSec) * 8;
  settings->bit_rate = format_rate > 0 ? format_rate : plan.bitrate;
  return settings->bit_rate > 0 ? S_OK : NS_E_INVALID_STREAM;
}
