#include "ToneSource.h"

#include <cmath>
#include <numbers>

namespace recgen {

namespace {

constexpr double kToneHz = 440.0;
constexpr double kBeepHz = 1000.0;
constexpr int kBeepDivisor = 10;  // the beep lasts a tenth of each second
constexpr double kAmplitude = 0.3 * 32767.0;

}  // namespace

std::vector<int16_t> ToneSource::Next(int count) {
  std::vector<int16_t> samples(static_cast<size_t>(count));
  for (int16_t& sample : samples) {
    const bool beep = position_ % sampleRate_ < sampleRate_ / kBeepDivisor;
    const double hz = beep ? kBeepHz : kToneHz;
    // Reduce the phase per period so precision does not fade over long files.
    const int64_t period = sampleRate_;
    const double t = static_cast<double>(position_ % period) / sampleRate_;
    sample = static_cast<int16_t>(std::lround(kAmplitude * std::sin(2 * std::numbers::pi * hz * t)));
    ++position_;
  }
  return samples;
}

}  // namespace recgen
