#include "Listing.h"

#include <cstdio>

#include "FilterCategories.h"
#include "FilterRegistry.h"
#include "Registry.h"
#include "WideString.h"

namespace {

constexpr char kSourceFilter[] = "Source Filter";
constexpr char kMediaTypeKey[] = "Media Type";
constexpr char kExtensionsKey[] = "Media Type\\Extensions";

std::string Hex8(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

std::string CategoryText(const GUID& category) {
  const auto name = FilterCategoryName(category);
  return (name ? std::string(*name) + " " : std::string()) + GuidToString(category);
}

std::string ModulePath(const CLSID& clsid) {
  return reg::GetString(HKEY_CLASSES_ROOT, "CLSID\\" + GuidToString(clsid) + "\\InprocServer32", "")
      .value_or("(no module registered)");
}

// The friendly name a class identifier text stands for, for the source listings.
std::string SourceText(const std::string& clsidText) {
  const auto name = reg::GetString(HKEY_CLASSES_ROOT, "CLSID\\" + clsidText, "");
  return clsidText + (name ? " \"" + *name + "\"" : std::string());
}

std::string PinFlags(const PinRecord& pin) {
  std::string flags = pin.IsOutput() ? "out" : "in";
  if (pin.IsRendered()) flags += ", rendered";
  if (pin.flags & REG_PINFLAG_B_ZERO) flags += ", zero";
  if (pin.flags & REG_PINFLAG_B_MANY) flags += ", many";
  return flags;
}

void ListFilter(std::ostream& out, const RegisteredFilter& filter) {
  const FilterRecord& record = filter.record;
  out << GuidToString(record.clsid) << " \"" << WideToUtf8(record.name) << "\"\n"
      << "  category: " << CategoryText(filter.category) << "\n"
      << "  merit:    " << Hex8(record.merit) << "\n"
      << "  module:   " << ModulePath(record.clsid) << "\n";
  for (const PinRecord& pin : record.pins) {
    out << "  pin \"" << WideToUtf8(pin.name) << "\" (" << PinFlags(pin) << ")\n";
    for (const PinTypeRecord& type : pin.types)
      out << "    type " << GuidToString(type.major) << " " << GuidToString(type.sub) << "\n";
  }
}

void ListSchemes(std::ostream& out) {
  out << "URL schemes:\n";
  for (const std::string& key : reg::SubKeyNames(HKEY_CLASSES_ROOT, "")) {
    if (key == kMediaTypeKey || key == "CLSID") continue;
    if (const auto source = reg::GetString(HKEY_CLASSES_ROOT, key, kSourceFilter))
      out << "  " << key << "://  " << SourceText(*source) << "\n";
  }
}

void ListFileTypes(std::ostream& out) {
  out << "File types:\n";
  for (const std::string& major : reg::SubKeyNames(HKEY_CLASSES_ROOT, kMediaTypeKey)) {
    const std::string majorPath = std::string(kMediaTypeKey) + "\\" + major;
    for (const std::string& sub : reg::SubKeyNames(HKEY_CLASSES_ROOT, majorPath)) {
      const std::string path = majorPath + "\\" + sub;
      const auto source = reg::GetString(HKEY_CLASSES_ROOT, path, kSourceFilter);
      if (!source) continue;
      out << "  " << major << " " << sub << "  " << SourceText(*source) << "\n";
      for (const reg::Value& value : reg::Values(HKEY_CLASSES_ROOT, path)) {
        if (value.name == kSourceFilter) continue;
        out << "    check \"" << reg::GetString(HKEY_CLASSES_ROOT, path, value.name).value_or("")
            << "\"\n";
      }
    }
  }
  for (const std::string& ext : reg::SubKeyNames(HKEY_CLASSES_ROOT, kExtensionsKey)) {
    const auto source =
        reg::GetString(HKEY_CLASSES_ROOT, std::string(kExtensionsKey) + "\\" + ext, kSourceFilter);
    if (source) out << "  extension " << ext << "  " << SourceText(*source) << "\n";
  }
}

}  // namespace

void ListRegistrations(std::ostream& out) {
  out << "Filters:\n";
  for (const GUID& category : filter_registry::Categories()) {
    for (const RegisteredFilter& filter : filter_registry::InCategory(category)) ListFilter(out, filter);
  }
  ListSchemes(out);
  ListFileTypes(out);
}
