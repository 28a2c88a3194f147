#include "FilterRegistry.h"

#include <algorithm>

#include "FilterCategories.h"
#include "Registry.h"
#include "WideString.h"

namespace filter_registry {
namespace {

constexpr char kFriendlyName[] = "FriendlyName";
constexpr char kClsid[] = "CLSID";
constexpr char kMerit[] = "Merit";
constexpr char kFilterData[] = "FilterData";

std::string CategoryKeyPath(const GUID& category) { return "CLSID\\" + GuidToString(category); }

std::string CategoryListEntryPath(const GUID& category) {
  return InstanceKeyPath(CLSID_ActiveMovieCategories, Utf8ToWide(GuidToString(category)));
}

HRESULT FromWin32(LONG error) { return HRESULT_FROM_WIN32(static_cast<uint32_t>(error)); }

// Writes the description, class identifier and merit a category carries in both places.
LONG WriteCategoryValues(const std::string& path, const GUID& category, DWORD merit,
                         const std::string& description) {
  if (LONG e = reg::SetString(HKEY_CLASSES_ROOT, path, kFriendlyName, description)) return e;
  if (LONG e = reg::SetString(HKEY_CLASSES_ROOT, path, kClsid, GuidToString(category))) return e;
  return reg::SetDword(HKEY_CLASSES_ROOT, path, kMerit, merit);
}

std::optional<GUID> GuidValue(const std::string& path, const char* name) {
  const auto text = reg::GetString(HKEY_CLASSES_ROOT, path, name);
  return text ? GuidFromString(*text) : std::nullopt;
}

void AddOnce(std::vector<GUID>& list, const GUID& guid) {
  if (std::find(list.begin(), list.end(), guid) == list.end()) list.push_back(guid);
}

}  // namespace

std::u16string DefaultInstanceName(const CLSID& clsid) { return Utf8ToWide(GuidToString(clsid)); }

std::string InstanceKeyPath(const GUID& category, const std::u16string& instance) {
  return CategoryKeyPath(category) + "\\Instance\\" + WideToUtf8(instance);
}

HRESULT WriteCategory(const GUID& category, DWORD merit, const std::u16string& description) {
  const std::string text = WideToUtf8(description);
  if (LONG e = WriteCategoryValues(CategoryListEntryPath(category), category, merit, text))
    return FromWin32(e);
  return FromWin32(WriteCategoryValues(CategoryKeyPath(category), category, merit, text));
}

HRESULT Write(const GUID& category, const std::u16string& instance, const FilterRecord& record) {
  if (instance.empty() || instance.find(u'\\') != std::u16string::npos) return E_INVALIDARG;
  if (!reg::KeyExists(HKEY_CLASSES_ROOT, CategoryListEntryPath(category))) {
    const auto name = FilterCategoryName(category);
    const std::u16string description = Utf8ToWide(name ? *name : GuidToString(category));
    if (HRESULT hr = WriteCategory(category, MERIT_NORMAL, description); FAILED(hr)) return hr;
  }
  const std::string path = InstanceKeyPath(category, instance);
  if (LONG e = reg::SetString(HKEY_CLASSES_ROOT, path, kFriendlyName, WideToUtf8(record.name)))
    return FromWin32(e);
  if (LONG e = reg::SetString(HKEY_CLASSES_ROOT, path, kClsid, GuidToString(record.clsid)))
    return FromWin32(e);
  return FromWin32(reg::SetBinary(HKEY_CLASSES_ROOT, path, kFilterData, EncodeFilterData(record)));
}

HRESULT Remove(const GUID& category, const std::u16string& instance) {
  if (instance.empty()) return E_INVALIDARG;
  const LONG e = reg::DeleteTree(HKEY_CLASSES_ROOT, InstanceKeyPath(category, instance));
  return e == ERROR_FILE_NOT_FOUND ? VFW_E_FILTER_NOT_REGISTERED : FromWin32(e);
}

std::optional<RegisteredFilter> Read(const GUID& category, const std::u16string& instance) {
  const std::string path = InstanceKeyPath(category, instance);
  const auto clsid = GuidValue(path, kClsid);
  const auto name = reg::GetString(HKEY_CLASSES_ROOT, path, kFriendlyName);
  const auto data = reg::GetValue(HKEY_CLASSES_ROOT, path, kFilterData);
  if (!clsid || !name || !data || data->type != REG_BINARY) return std::nullopt;
  auto record = DecodeFilterData(data->data);
  if (!record) return std::nullopt;
  record->clsid = *clsid;
  record->name = Utf8ToWide(*name);
  return RegisteredFilter{category, instance, std::move(*record)};
}

std::vector<GUID> Categories() {
  std::vector<GUID> result;
  for (const FilterCategory& known : KnownFilterCategories()) AddOnce(result, *known.guid);
  for (const std::string& key : reg::SubKeyNames(HKEY_CLASSES_ROOT, "CLSID")) {
    const auto guid = GuidFromString(key);
    if (guid && *guid != CLSID_ActiveMovieCategories &&
        reg::KeyExists(HKEY_CLASSES_ROOT, CategoryKeyPath(*guid) + "\\Instance"))
      AddOnce(result, *guid);
  }
  return result;
}

std::vector<RegisteredFilter> InCategory(const GUID& category) {
  std::vector<RegisteredFilter> result;
  for (const std::string& name :
       reg::SubKeyNames(HKEY_CLASSES_ROOT, CategoryKeyPath(category) + "\\Instance")) {
    if (auto filter = Read(category, Utf8ToWide(name))) result.push_back(std::move(*filter));
  }
  return result;
}

std::vector<RegisteredFilter> All() {
  std::vector<GUID> order{CLSID_LegacyAmFilterCategory};
  for (const GUID& category : Categories()) AddOnce(order, category);
  std::vector<RegisteredFilter> result;
  std::vector<GUID> seen;
  for (const GUID& category : order) {
    for (RegisteredFilter& filter : InCategory(category)) {
      if (std::find(seen.begin(), seen.end(), filter.record.clsid) != seen.end()) continue;
      seen.push_back(filter.record.clsid);
      result.push_back(std::move(filter));
    }
  }
  return result;
}

}  // namespace filter_registry
