// Choosing registered filters by merit and by the media types of their pins.
#pragma once

#include <vector>

#include "FilterRegistry.h"

// What a filter must offer. A GUID_NULL in a wanted type matches any registered GUID; a
// GUID_NULL in a registered type matches any wanted GUID unless `exactMatch` is set.
struct FilterQuery {
  DWORD minMerit = 0;  // filters of lower merit are left out
  bool exactMatch = false;
  bool inputNeeded = false;  // at least one input pin
  std::vector<PinTypeRecord> inputTypes;  // if any: an input pin with one of them
  bool inputRendered = false;             // that input pin must be a rendered one
  bool outputNeeded = false;
  std::vector<PinTypeRecord> outputTypes;
};

bool TypesMatch(const PinTypeRecord& registered, const PinTypeRecord& wanted, bool exactMatch);
bool FilterMatches(const FilterRecord& filter, const FilterQuery& query);
// The matching filters, highest merit first; equal merits keep their registry order.
std::vector<RegisteredFilter> MatchFilters(std::vector<RegisteredFilter> filters,
                                           const FilterQuery& query);
