// The "Range" header: npt and smpte times and the range text made from them. All times are
// carried in milliseconds; -1 (kNoRangeEnd) marks an absent start or end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "RtspHeader.h"

namespace streamclient {

struct NptTime {
  int64_t seconds = 0;
  int32_t microseconds = 0;  // 0 <= microseconds < 1000000

  static NptTime Parse(std::string_view text);
  static NptTime FromMs(int64_t ms);
  int64_t Ms() const { return seconds * 1000 + microseconds / 1000; }
  std::string Text() const;
};

struct SmpteTime {
  int64_t hours = 0;
  int minutes = 0;
  int seconds = 0;
  int frames = 0;  // 30 frames per second
  int64_t totalMs = 0;

  static SmpteTime Parse(std::string_view text);
  static SmpteTime FromMs(int64_t ms);
  std::string Text() const;
};

// Parses the value text of a Range header; nothing for units other than npt and smpte.
std::optional<RangeValue> ParseRange(std::string_view text);
// "start-end" with either side left out when absent.
std::string RangeText(RangeKind kind, int64_t startMs, int64_t endMs);

}  // namespace streamclient
