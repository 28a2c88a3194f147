// Decimal numbers read from text received on the network: the leading number of the text
// (blanks and a sign allowed before it, anything after it ignored), saturated so that no
// amount of digits can overflow.
#pragma once

#include <cstdint>
#include <string_view>

namespace streamclient {

constexpr int64_t kDecimalLimit = 1'000'000'000'000'000'000;  // saturation bound, |value|

int64_t LeadingNumber(std::string_view text);
// The leading number clamped to the int range.
int LeadingInt(std::string_view text);

}  // namespace streamclient
