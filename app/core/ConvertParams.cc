#include "ConvertParams.h"

#include <array>

namespace recast {
namespace {

constexpr double kEstimateScale = 81'920'000.0;  // 8 bits x 10 240 000
constexpr uint32_t kFallbackBitRate = 1'000'000;
constexpr double kMaxPlausibleBitRate = 100'000'000.0;

struct StandardBySize {
  int32_t width;
  int32_t height;
  VideoStandard standard;
};

constexpr std::array<StandardBySize, 14> kStandards{{
    {352, 288, VideoStandard::Pal},
    {352, 240, VideoStandard::Ntsc},
    {528, 384, VideoStandard::Pal},
    {528, 320, VideoStandard::Ntsc},
    {704, 288, VideoStandard::Pal},
    {704, 576, VideoStandard::Pal},
    {704, 240, VideoStandard::Ntsc},
    {704, 480, VideoStandard::Ntsc},
    {320, 240, VideoStandard::Pal},
    {96, 80, VideoStandard::Pal},
    {96, 64, VideoStandard::Ntsc},
    {160, 120, VideoStandard::Pal},
    {176, 144, VideoStandard::Pal},
    {176, 120, VideoStandard::Ntsc},
}};

}  // namespace

ParamBlock VideoSettings::GetParams() const {
  ParamBlock block;
  block.constantBitRate = cbr ? 1 : 0;
  block.rate = static_cast<int32_t>(cbr ? bitRateKbps * kBitsPerKilobit : quality);
  block.width = width;
  block.height = height;
  return block;
}

void VideoSettings::SetRateMode(bool constantBitRate, bool several) {
  cbr = constantBitRate;
  severalFiles = several;
}

DefaultsOutcome ApplyDefaults(VideoSettings& settings, const JobDefaults& job) {
  if (!job.cbr && settings.width != 0) return DefaultsOutcome::Skipped;
  settings.width = job.width;
  settings.height = job.height;
  settings.cbr = job.cbr;
  settings.ntsc = job.ntsc;
  settings.severalFiles = job.severalFiles;
  const uint32_t kbps = job.estimatedBitRate / kBitsPerKilobit;
  if (kbps == 0) return DefaultsOutcome::NoBitRate;
  settings.bitRateKbps = kbps;
  return DefaultsOutcome::Applied;
}

uint32_t EstimateSourceBitRate(uint64_t fileSize, int64_t duration) {
  if (duration <= 0) return kFallbackBitRate;
  const double estimate =
      static_cast<double>(fileSize) * kEstimateScale / static_cast<double>(duration);
  if (estimate < 1.0 || estimate >= kMaxPlausibleBitRate) return kFallbackBitRate;
  return static_cast<uint32_t>(estimate);
}

VideoStandard StandardFromSize(int32_t width, int32_t height, VideoStandard previous) {
  for (const StandardBySize& entry : kStandards)
    if (entry.width == width && entry.height == height) return entry.standard;
  return previous;
}

}  // namespace recast
