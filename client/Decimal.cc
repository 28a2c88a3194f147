#include "Decimal.h"

#include <algorithm>
#include <limits>

namespace streamclient {

int64_t LeadingNumber(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  int64_t value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    if (value >= kDecimalLimit / 10) {
      value = kDecimalLimit;
    } else {
      value = value * 10 + (text[pos] - '0');
    }
  }
  return negative ? -value : value;
}

int LeadingInt(std::string_view text) {
  return static_cast<int>(std::clamp<int64_t>(LeadingNumber(text),
                                              std::numeric_limits<int>::min(),
                                              std::numeric_limits<int>::max()));
}

}  // namespace streamclient
