// Where registered filters live in the registry, and reading and writing them.
//
// A filter registered in category C under instance name I is the key
//   HKEY_CLASSES_ROOT\CLSID\{C}\Instance\I
// with the values "FriendlyName" (REG_SZ), "CLSID" (REG_SZ, the filter's class identifier) and
// "FilterData" (REG_BINARY, FilterData.h). Categories are listed under
//   HKEY_CLASSES_ROOT\CLSID\{CLSID_ActiveMovieCategories}\Instance\{C}
// with "FriendlyName", "CLSID" and "Merit"; the category key itself carries the same values.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "FilterData.h"

struct RegisteredFilter {
  GUID category = GUID_NULL;
  std::u16string instance;
  FilterRecord record;
};

namespace filter_registry {

// The instance name a filter gets when the caller names none: its class identifier as text.
std::u16string DefaultInstanceName(const CLSID& clsid);
// "CLSID\{C}\Instance\I".
std::string InstanceKeyPath(const GUID& category, const std::u16string& instance);

// Creates or updates the category entry (also when the category exists already).
HRESULT WriteCategory(const GUID& category, DWORD merit, const std::u16string& description);
// Writes the filter's instance key, creating its category entry if it has none yet.
HRESULT Write(const GUID& category, const std::u16string& instance, const FilterRecord& record);
// VFW_E_FILTER_NOT_REGISTERED when the instance does not exist.
HRESULT Remove(const GUID& category, const std::u16string& instance);
// The instance, when it exists and its data is intact.
std::optional<RegisteredFilter> Read(const GUID& category, const std::u16string& instance);

// Every category with an entry or with instances, the known table's first.
std::vector<GUID> Categories();
// The intact instances of one category, in registry order; damaged entries are skipped.
std::vector<RegisteredFilter> InCategory(const GUID& category);
// Every registered filter once (the first category that lists it wins, the default category
// first).
std::vector<RegisteredFilter> All();

}  // namespace filter_registry
