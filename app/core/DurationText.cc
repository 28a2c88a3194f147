#include "DurationText.h"

#include <cstdio>

namespace recast {
namespace {

constexpr REFERENCE_TIME kUnitsPerSecond = 10'000'000;
constexpr int64_t kSecondsPerHour = 3600;
constexpr int64_t kSecondsPerMinute = 60;

// "00" for 0, a leading zero below 10, the plain number otherwise.
std::string TwoDigits(int64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%02lld", static_cast<long long>(value));
  return text;
}

}  // namespace

std::string FormatDuration(REFERENCE_TIME duration) {
  const int64_t seconds = duration > 0 ? duration / kUnitsPerSecond : 0;
  const int64_t hours = seconds / kSecondsPerHour;
  const int64_t minutes = seconds % kSecondsPerHour / kSecondsPerMinute;
  const int64_t rest = seconds - kSecondsPerMinute * minutes - kSecondsPerHour * hours;
  return TwoDigits(hours) + "::" + TwoDigits(minutes) + "::" + TwoDigits(rest);
}

}  // namespace recast
