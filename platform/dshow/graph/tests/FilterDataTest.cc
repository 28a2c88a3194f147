// The stored form of filter registrations and the check-byte rules of source selection: both
// read bytes that another process wrote, so damage must be refused, never read past.
#include <gtest/gtest.h>

#include "FilterData.h"
#include "FilterMatcher.h"
#include "SourceSelector.h"

namespace {

const GUID kMajor{0x11111111, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
const GUID kSub{0x22222222, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
const GUID kOtherSub{0x33333333, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};

FilterRecord SampleRecord() {
  FilterRecord record;
  record.merit = MERIT_PREFERRED;
  PinRecord in;
  in.name = u"Input";
  in.types = {{kMajor, kSub}, {kMajor, kOtherSub}};
  in.connectsToPin = u"Output";
  PinRecord out;
  out.name = u"Video Output";
  out.flags = REG_PINFLAG_B_OUTPUT;
  out.types = {{kMajor, GUID_NULL}};
  record.pins = {in, out};
  return record;
}

TEST(FilterData, RoundTripKeepsPinsTypesAndMerit) {
  const FilterRecord record = SampleRecord();
  const auto decoded = DecodeFilterData(EncodeFilterData(record));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(*decoded, record);
}

TEST(FilterData, EveryTruncationAndTrailingGarbageIsRefused) {
  const std::vector<BYTE> bytes = EncodeFilterData(SampleRecord());
  for (size_t n = 0; n < bytes.size(); ++n) {
    EXPECT_FALSE(DecodeFilterData({bytes.begin(), bytes.begin() + static_cast<long>(n)}))
        << "cut at " << n;
  }
  std::vector<BYTE> longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(DecodeFilterData(longer));
}

TEST(FilterData, HugeCountsAndWrongVersionAreRefused) {
  std::vector<BYTE> bytes = EncodeFilterData(SampleRecord());
  std::vector<BYTE> pins = bytes;
  pins[8] = pins[9] = pins[10] = pins[11] = 0xFF;  // pin count
  EXPECT_FALSE(DecodeFilterData(pins));
  std::vector<BYTE> version = bytes;
  version[0] = 7;
  EXPECT_FALSE(DecodeFilterData(version));
  // The first pin's type count (after flags, instances, two GUIDs and two names).
  const size_t typeCount = 12 + 4 + 4 + 32 + 2 + 2 * 5 + 2 + 2 * 6;
  std::vector<BYTE> types = bytes;
  types[typeCount + 3] = 0x7F;
  EXPECT_FALSE(DecodeFilterData(types));
}

TEST(FilterData, Version1And2RegistrationsBecomeRecords) {
  const REGPINTYPES type{&kMajor, &kSub};
  const REGFILTERPINS v1Pin{u"In", TRUE, FALSE, FALSE, FALSE, nullptr, u"Out", 1, &type};
  REGFILTER2 v1{};
  v1.dwVersion = 1;
  v1.dwMerit = MERIT_NORMAL;
  v1.cPins = 1;
  v1.rgPins = &v1Pin;
  FilterRecord record;
  ASSERT_EQ(FilterRecordFromRegFilter2(v1, record), S_OK);
  ASSERT_EQ(record.pins.size(), 1u);
  EXPECT_TRUE(record.pins[0].IsRendered());
  EXPECT_FALSE(record.pins[0].IsOutput());
  EXPECT_EQ(record.pins[0].connectsToPin, u"Out");

  const REGFILTERPINS2 v2Pin{REG_PINFLAG_B_OUTPUT, 1, 1, &type, 0, nullptr, nullptr};
  REGFILTER2 v2{};
  v2.dwVersion = 2;
  v2.dwMerit = MERIT_UNLIKELY;
  v2.cPins2 = 1;
  v2.rgPins2 = &v2Pin;
  ASSERT_EQ(FilterRecordFromRegFilter2(v2, record), S_OK);
  EXPECT_EQ(record.merit, MERIT_UNLIKELY);
  EXPECT_TRUE(record.pins[0].IsOutput());

  const REGFILTERPINS2 broken{0, 1, 2, nullptr, 0, nullptr, nullptr};
  v2.rgPins2 = &broken;
  EXPECT_EQ(FilterRecordFromRegFilter2(v2, record), E_POINTER);
  v2.dwVersion = 3;
  EXPECT_EQ(FilterRecordFromRegFilter2(v2, record), E_INVALIDARG);
}

TEST(FilterMatch, WildcardsMeritAndOrder) {
  std::vector<RegisteredFilter> filters(3);
  filters[0].record = SampleRecord();
  filters[0].record.merit = MERIT_NORMAL;
  filters[1].record = SampleRecord();
  filters[1].record.merit = MERIT_PREFERRED;
  filters[2].record = SampleRecord();
  filters[2].record.merit = MERIT_DO_NOT_USE;
  filters[2].record.pins[0].types = {{GUID_NULL, GUID_NULL}};  // takes anything
  FilterQuery query;
  query.minMerit = MERIT_DO_NOT_USE + 1;
  query.inputTypes = {{kMajor, kOtherSub}};
  auto found = MatchFilters(filters, query);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].record.merit, MERIT_PREFERRED);
  EXPECT_EQ(found[1].record.merit, MERIT_NORMAL);

  query.minMerit = 0;
  EXPECT_EQ(MatchFilters(filters, query).size(), 3u);
  query.exactMatch = true;  // a registered wildcard no longer matches a concrete type
  EXPECT_EQ(MatchFilters(filters, query).size(), 2u);
  query.inputRendered = true;  // no input pin is a rendered one
  EXPECT_TRUE(MatchFilters(filters, query).empty());
}

TEST(CheckBytes, OffsetsMasksAndMalformedValues) {
  const std::vector<BYTE> head{'G', 'T', 'S', 'T', 0x12, 0x34};
  const std::vector<BYTE> tail = head;
  EXPECT_TRUE(CheckBytesMatch("0,4,,47545354", head, tail, head.size()));
  EXPECT_TRUE(CheckBytesMatch("4,2,F0F0,103F", head, tail, head.size()));
  EXPECT_TRUE(CheckBytesMatch("0,1,,47,-2,2,,1234", head, tail, head.size()));
  EXPECT_FALSE(CheckBytesMatch("0,4,,47545355", head, tail, head.size()));
  EXPECT_FALSE(CheckBytesMatch("4,4,,12345678", head, tail, head.size()));  // past the end
  EXPECT_FALSE(CheckBytesMatch("-9,1,,47", head, tail, head.size()));      // before the start
  EXPECT_FALSE(CheckBytesMatch("0,4,,4754", head, tail, head.size()));      // count ≠ value
  EXPECT_FALSE(CheckBytesMatch("0,4,,4G545354", head, tail, head.size()));  // not hex
  EXPECT_FALSE(CheckBytesMatch("0,4,", head, tail, head.size()));           // not a quadruple
  EXPECT_FALSE(CheckBytesMatch("", head, tail, head.size()));
}

}  // namespace
