#include "FilterCategories.h"

namespace {

constexpr FilterCategory kCategories[] = {
    {"Audio Capture Devices", &CLSID_AudioInputDeviceCategory},
    {"Audio Compressors", &CLSID_AudioCompressorCategory},
    {"Audio Renderers", &CLSID_AudioRendererCategory},
    {"DirectShow Filters", &CLSID_LegacyAmFilterCategory},
    {"Midi Renderers", &CLSID_MidiRendererCategory},
    {"Video Capture Devices", &CLSID_VideoInputDeviceCategory},
    {"Video Compressors", &CLSID_VideoCompressorCategory},
};

}  // namespace

std::span<const FilterCategory> KnownFilterCategories() { return kCategories; }

std::optional<GUID> FilterCategoryByIndex(size_t index) {
  if (index >= std::size(kCategories)) return std::nullopt;
  return *kCategories[index].guid;
}

std::optional<std::string_view> FilterCategoryName(const GUID& category) {
  for (const FilterCategory& c : kCategories)
    if (*c.guid == category) return c.name;
  return std::nullopt;
}
