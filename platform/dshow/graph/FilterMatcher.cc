#include "FilterMatcher.h"

#include <algorithm>

namespace {

bool GuidMatches(const GUID& registered, const GUID& wanted, bool exactMatch) {
  if (wanted == GUID_NULL) return true;
  if (registered == GUID_NULL) return !exactMatch;
  return registered == wanted;
}

bool PinOffers(const PinRecord& pin, const std::vector<PinTypeRecord>& wanted, bool exactMatch) {
  if (wanted.empty()) return true;
  for (const PinTypeRecord& have : pin.types)
    for (const PinTypeRecord& want : wanted)
      if (TypesMatch(have, want, exactMatch)) return true;
  return false;
}

// Some pin of the direction satisfies the side of the query.
bool SideMatches(const FilterRecord& filter, bool output, bool needed,
                 const std::vector<PinTypeRecord>& types, bool rendered, bool exactMatch) {
  if (!needed && types.empty()) return true;
  return std::any_of(filter.pins.begin(), filter.pins.end(), [&](const PinRecord& pin) {
    return pin.IsOutput() == output && (!rendered || pin.IsRendered()) &&
           PinOffers(pin, types, exactMatch);
  });
}

}  // namespace

bool TypesMatch(const PinTypeRecord& registered, const PinTypeRecord& wanted, bool exactMatch) {
  return GuidMatches(registered.major, wanted.major, exactMatch) &&
         GuidMatches(registered.sub, wanted.sub, exactMatch);
}

bool FilterMatches(const FilterRecord& filter, const FilterQuery& query) {
  return filter.merit >= query.minMerit &&
         SideMatches(filter, false, query.inputNeeded, query.inputTypes, query.inputRendered,
                     query.exactMatch) &&
         SideMatches(filter, true, query.outputNeeded, query.outputTypes, false, query.exactMatch);
}

std::vector<RegisteredFilter> MatchFilters(std::vector<RegisteredFilter> filters,
                                           const FilterQuery& query) {
  std::erase_if(filters, [&](const RegisteredFilter& f) { return !FilterMatches(f.record, query); });
  std::stable_sort(filters.begin(), filters.end(), [](const auto& a, const auto& b) {
    return a.record.merit > b.record.merit;
  });
  return filters;
}
