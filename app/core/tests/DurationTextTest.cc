#include "DurationText.h"

#include <gtest/gtest.h>

namespace recast {
namespace {

constexpr REFERENCE_TIME kSecond = 10'000'000;

TEST(DurationTextTest, HoursMinutesSecondsInTwoDigits) {
  EXPECT_EQ("00::00::59", FormatDuration(59 * kSecond));
  EXPECT_EQ("01::02::05", FormatDuration(3725 * kSecond));
  EXPECT_EQ("10::00::00", FormatDuration(36000 * kSecond));
  EXPECT_EQ("00::01::00", FormatDuration(60 * kSecond + kSecond / 2));
}

TEST(DurationTextTest, UnknownOrLongDurations) {
  EXPECT_EQ("00::00::00", FormatDuration(0));
  EXPECT_EQ("00::00::00", FormatDuration(-5 * kSecond));
  EXPECT_EQ("123::00::00", FormatDuration(123 * 3600 * kSecond));
}

}  // namespace
}  // namespace recast
