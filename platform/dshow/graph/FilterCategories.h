// The filter categories the system knows by name, in the order applications index them.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "MapperInterfaces.h"

struct FilterCategory {
  std::string_view name;
  const GUID* guid;
};

// Index 0 "Audio Capture Devices" .. 6 "Video Compressors".
std::span<const FilterCategory> KnownFilterCategories();
// The category at `index` of that table; nothing outside it.
std::optional<GUID> FilterCategoryByIndex(size_t index);
// The table's name of `category`; nothing for categories it does not list.
std::optional<std::string_view> FilterCategoryName(const GUID& category);
