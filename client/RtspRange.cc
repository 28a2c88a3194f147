#include "RtspRange.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "Decimal.h"
#include "RtspTokenizer.h"

namespace streamclient {

namespace {
constexpr int64_t kMaxTimeField = 1'000'000'000;  // bound per field, keeps sums in range
constexpr int kMaxNptFields = 4;
constexpr std::array<int64_t, kMaxNptFields> kNptUnitSeconds = {86400, 3600, 60, 1};
constexpr int kFractionDigits = 6;
constexpr int kSmpteFramesPerSecond = 30;
constexpr double kSmpteMsPerFrame = 33.367;
constexpr size_t kTimeTextSize = 64;

int64_t TimeField(std::string_view text) {
  return std::clamp<int64_t>(LeadingNumber(text), 0, kMaxTimeField);
}

int32_t FractionMicros(std::string_view number) {
  const size_t dot = number.find('.');
  if (dot == std::string_view::npos) return 0;
  int32_t micros = 0;
  int digits = 0;
  for (size_t i = dot + 1; i < number.size() && digits < kFractionDigits; ++i, ++digits) {
    if (number[i] < '0' || number[i] > '9') break;
    micros = micros * 10 + (number[i] - '0');
  }
  for (; digits < kFractionDigits; ++digits) micros *= 10;
  return micros;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    fields.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

std::string TimeText(RangeKind kind, int64_t ms) {
  return kind == RangeKind::kSmpte ? SmpteTime::FromMs(ms).Text() : NptTime::FromMs(ms).Text();
}

int64_t ParseTimeMs(RangeKind kind, std::string_view text) {
  if (text.empty()) return kNoRangeEnd;
  return kind == RangeKind::kSmpte ? SmpteTime::Parse(text).totalMs : NptTime::Parse(text).Ms();
}

bool MatchesUnit(std::string_view unit, std::string_view name) {
  return unit.size() <= name.size() && name.substr(0, unit.size()) == unit;
}
}  // namespace

NptTime NptTime::Parse(std::string_view text) {
  NptTime time;
  if (text.empty()) return time;
  const std::vector<std::string_view> fields = Split(text, ':');
  if (fields.size() > kMaxNptFields) return time;
  const size_t firstUnit = kMaxNptFields - fields.size();
  for (size_t i = 0; i < fields.size(); ++i) {
    time.seconds += TimeField(fields[i]) * kNptUnitSeconds[firstUnit + i];
  }
  time.microseconds = FractionMicros(fields.back());
  return time;
}

NptTime NptTime::FromMs(int64_t ms) {
  NptTime time;
  time.seconds = ms / 1000;
  time.microseconds = static_cast<int32_t>(ms % 1000) * 1000;
  return time;
}

std::string NptTime::Text() const {
  char text[kTimeTextSize];
  if (microseconds == 0) {
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(seconds));
  } else {
    std::snprintf(text, sizeof text, "%lld.%06d", static_cast<long long>(seconds), microseconds);
  }
  return text;
}

SmpteTime SmpteTime::Parse(std::string_view text) {
  std::array<int64_t, 4> fields{};  // hours, minutes, seconds, frames
  constexpr std::array<char, 4> kSeparators = {':', ':', '.', ' '};
  size_t pos = 0;
  for (size_t i = 0; i < fields.size() && pos <= text.size(); ++i) {
    const size_t end = text.find(kSeparators[i], pos);
    fields[i] = TimeField(text.substr(pos, end == std::string_view::npos ? end : end - pos));
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  SmpteTime time;
  time.hours = fields[0];
  time.minutes = static_cast<int>(fields[1]);
  time.seconds = static_cast<int>(fields[2]);
  time.frames = fields[3] < kSmpteFramesPerSecond ? static_cast<int>(fields[3]) : 0;
  time.totalMs = time.hours * 3600000 + fields[1] * 60000 + fields[2] * 1000 +
                 std::llround(time.frames * kSmpteMsPerFrame);
  return time;
}

SmpteTime SmpteTime::FromMs(int64_t ms) {
  const int64_t totalFrames = ms * kSmpteFramesPerSecond / 1000;
  SmpteTime time;
  time.hours = totalFrames / (kSmpteFramesPerSecond * 3600);
  time.minutes = static_cast<int>(totalFrames / (kSmpteFramesPerSecond * 60) % 60);
  time.seconds = static_cast<int>(totalFrames / kSmpteFramesPerSecond % 60);
  time.frames = static_cast<int>(totalFrames % kSmpteFramesPerSecond);
  time.totalMs = ms;
  return time;
}

std::string SmpteTime::Text() const {
  char text[kTimeTextSize];
  int length = std::snprintf(text, sizeof text, "%02lld:%02d:%02d",
                             static_cast<long long>(hours), minutes, seconds);
  if (frames > 0) std::snprintf(text + length, sizeof text - length, ".%02d", frames);
  return text;
}

std::optional<RangeValue> ParseRange(std::string_view text) {
  Tokenizer tokenizer(text);
  const Token unit = tokenizer.Next("=");
  RangeValue range;
  if (MatchesUnit(unit.Text(), "smpte")) {
    range.kind = RangeKind::kSmpte;
  } else if (MatchesUnit(unit.Text(), "npt")) {
    range.kind = RangeKind::kNpt;
  } else {
    return std::nullopt;
  }
  const Token start = tokenizer.Next("-");
  const Token end = tokenizer.Next("\n");
  range.startMs = ParseTimeMs(range.kind, start.Text());
  range.endMs = ParseTimeMs(range.kind, end.Text());
  range.text = RangeText(range.kind, range.startMs, range.endMs);
  return range;
}

std::string RangeText(RangeKind kind, int64_t startMs, int64_t endMs) {
  std::string text;
  if (startMs != kNoRangeEnd) text += TimeText(kind, startMs);
  text += '-';
  if (endMs != kNoRangeEnd) text += TimeText(kind, endMs);
  return text;
}

}  // namespace streamclient
