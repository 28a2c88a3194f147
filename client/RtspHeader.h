// Typed RTSP header values. A header is a name and an ordered list of values; a value is
// either a list of parameters ("1234;timeout=60") or a time range ("npt=0-"). Text() writes a
// piece back in wire form.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace streamclient {

struct HeaderParam {
  std::string name;
  std::string value;  // may be empty: the parameter is then its name alone

  std::string Text() const;
};

struct HeaderValue {
  std::vector<HeaderParam> params;

  // The first parameter with this name, or null.
  const HeaderParam* Find(std::string_view name) const;
  std::string Text() const;
};

enum class RangeKind { kSmpte = 0, kNpt = 2 };
constexpr int64_t kNoRangeEnd = -1;  // start or end absent

struct RangeValue {
  RangeKind kind = RangeKind::kNpt;
  int64_t startMs = kNoRangeEnd;
  int64_t endMs = kNoRangeEnd;
  std::string text;  // the range as written back after the unit, made from start and end

  std::string Text() const;
};

using RtspValue = std::variant<HeaderValue, RangeValue>;

struct RtspHeader {
  std::string name;  // compared exactly and case-sensitively
  std::vector<RtspValue> values;

  std::string Text() const;  // values joined by ",", without the line end
};

std::string ValueText(const RtspValue& value);

}  // namespace streamclient
