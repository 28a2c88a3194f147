#include "FilterMapper.h"

#include <cstring>

#include "ComPtr.h"
#include "DeviceMoniker.h"
#include "FilterMatcher.h"
#include "SnapshotEnum.h"

namespace {

std::vector<PinTypeRecord> TypePairs(DWORD count, const GUID* pairs) {
  std::vector<PinTypeRecord> types;
  for (DWORD i = 0; pairs && i < count; ++i) types.push_back({pairs[2 * i], pairs[2 * i + 1]});
  return types;
}

std::vector<PinTypeRecord> OneType(const CLSID& major, const CLSID& sub) {
  if (major == GUID_NULL && sub == GUID_NULL) return {};
  return {{major, sub}};
}

// The version-1 record of a filter, which lives in the default category under its class.
std::optional<RegisteredFilter> ReadLegacy(const CLSID& clsid) {
  return filter_registry::Read(CLSID_LegacyAmFilterCategory,
                               filter_registry::DefaultInstanceName(clsid));
}

HRESULT WriteLegacy(const RegisteredFilter& filter) {
  return filter_registry::Write(CLSID_LegacyAmFilterCategory, filter.instance, filter.record);
}

// What IEnumRegFilters hands out: the record and its name in one task-memory block.
REGFILTER* NewRegFilter(const FilterRecord& record) {
  const size_t nameBytes = (record.name.size() + 1) * sizeof(WCHAR);
  auto* block = static_cast<BYTE*>(CoTaskMemAlloc(sizeof(REGFILTER) + nameBytes));
  if (!block) return nullptr;
  auto* out = reinterpret_cast<REGFILTER*>(block);
  out->Clsid = record.clsid;
  out->Name = reinterpret_cast<LPWSTR>(block + sizeof(REGFILTER));
  std::memcpy(out->Name, record.name.c_str(), nameBytes);
  return out;
}

struct RegFilterTraits {
  using Stored = FilterRecord;
  using Out = REGFILTER*;
  static bool HandOut(const FilterRecord& record, REGFILTER*& out) {
    out = NewRegFilter(record);
    return out != nullptr;
  }
};

}  // namespace

CUnknown* FilterMapper::CreateInstance(IUnknown* outer, HRESULT* phr) {
  if (outer) {
    *phr = CLASS_E_NOAGGREGATION;
    return nullptr;
  }
  auto* object = new (std::nothrow) FilterMapper;
  if (!object) *phr = E_OUTOFMEMORY;
  return object;
}

HRESULT FilterMapper::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (riid == IID_IFilterMapper2) return GetInterface(static_cast<IFilterMapper2*>(this), ppv);
  if (riid == IID_IFilterMapper) return GetInterface(static_cast<IFilterMapper*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT FilterMapper::CreateCategory(REFCLSID category, DWORD merit, LPCWSTR description) {
  if (!description) return E_POINTER;
  return filter_registry::WriteCategory(category, merit, description);
}

HRESULT FilterMapper::UnregisterFilter(const CLSID* category, LPCOLESTR instance,
                                       REFCLSID filter) {
  return filter_registry::Remove(category ? *category : CLSID_LegacyAmFilterCategory,
                                 instance ? std::u16string(instance)
                                          : filter_registry::DefaultInstanceName(filter));
}

HRESULT FilterMapper::RegisterFilter(REFCLSID clsid, LPCWSTR name, IMoniker** moniker,
                                     const CLSID* category, LPCOLESTR instance,
                                     const REGFILTER2* rf2) {
  if (!name || !rf2) return E_POINTER;
  if (moniker) *moniker = nullptr;
  RegisteredFilter filter;
  filter.category = category ? *category : CLSID_LegacyAmFilterCategory;
  filter.instance = instance ? std::u16string(instance) : filter_registry::DefaultInstanceName(clsid);
  filter.record.clsid = clsid;
  filter.record.name = name;
  if (HRESULT hr = FilterRecordFromRegFilter2(*rf2, filter.record); FAILED(hr)) return hr;
  if (HRESULT hr = filter_registry::Write(filter.category, filter.instance, filter.record);
      FAILED(hr))
    return hr;
  return moniker ? DeviceMoniker::Create(filter.category, filter.instance, moniker) : S_OK;
}

HRESULT FilterMapper::EnumMatchingFilters(IEnumMoniker** out, DWORD, BOOL exactMatch,
                                          DWORD merit, BOOL inputNeeded, DWORD inputCount,
                                          const GUID* inputTypes, const REGPINMEDIUM*,
                                          const CLSID*, BOOL render, BOOL outputNeeded,
                                          DWORD outputCount, const GUID* outputTypes,
                                          const REGPINMEDIUM*, const CLSID*) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if ((inputCount > 0 && !inputTypes) || (outputCount > 0 && !outputTypes)) return E_POINTER;
  FilterQuery query;
  query.minMerit = merit;
  query.exactMatch = exactMatch != FALSE;
  query.inputNeeded = inputNeeded != FALSE;
  query.inputTypes = TypePairs(inputCount, inputTypes);
  query.inputRendered = render != FALSE;
  query.outputNeeded = outputNeeded != FALSE;
  query.outputTypes = TypePairs(outputCount, outputTypes);
  std::vector<ComPtr<IMoniker>> monikers;
  for (const RegisteredFilter& f : MatchFilters(filter_registry::All(), query)) {
    ComPtr<IMoniker> moniker;
    if (HRESULT hr = DeviceMoniker::Create(f.category, f.instance, moniker.GetAddressOf());
        FAILED(hr))
      return hr;
    monikers.push_back(std::move(moniker));
  }
  return MonikerSnapshotEnum::Create(std::move(monikers), out);
}

HRESULT FilterMapper::RegisterFilter(CLSID clsid, LPCWSTR name, DWORD merit) {
  if (!name) return E_POINTER;
  RegisteredFilter filter{CLSID_LegacyAmFilterCategory,
                          filter_registry::DefaultInstanceName(clsid),
                          {clsid, name, merit, {}}};
  return WriteLegacy(filter);
}

HRESULT FilterMapper::RegisterFilterInstance(CLSID, LPCWSTR, CLSID*) { return E_NOTIMPL; }

HRESULT FilterMapper::RegisterPin(CLSID clsid, LPCWSTR name, BOOL rendered, BOOL output,
                                  BOOL zero, BOOL many, CLSID connectsToFilter,
                                  LPCWSTR connectsToPin) {
  if (!name) return E_POINTER;
  auto filter = ReadLegacy(clsid);
  if (!filter) return VFW_E_FILTER_NOT_REGISTERED;
  PinRecord pin;
  pin.name = name;
  pin.flags = (output ? REG_PINFLAG_B_OUTPUT : 0) | (rendered ? REG_PINFLAG_B_RENDERER : 0) |
              (zero ? REG_PINFLAG_B_ZERO : 0) | (many ? REG_PINFLAG_B_MANY : 0);
  pin.connectsToFilter = connectsToFilter;
  if (connectsToPin) pin.connectsToPin = connectsToPin;
  std::erase_if(filter->record.pins, [&](const PinRecord& p) { return p.name == pin.name; });
  filter->record.pins.push_back(std::move(pin));
  return WriteLegacy(*filter);
}

HRESULT FilterMapper::RegisterPinType(CLSID clsid, LPCWSTR pinName, CLSID major, CLSID sub) {
  if (!pinName) return E_POINTER;
  auto filter = ReadLegacy(clsid);
  if (!filter) return VFW_E_FILTER_NOT_REGISTERED;
  for (PinRecord& pin : filter->record.pins) {
    if (pin.name != pinName) continue;
    pin.types.push_back({major, sub});
    return WriteLegacy(*filter);
  }
  return VFW_E_NOT_FOUND;
}

HRESULT FilterMapper::UnregisterFilter(CLSID clsid) {
  return filter_registry::Remove(CLSID_LegacyAmFilterCategory,
                                 filter_registry::DefaultInstanceName(clsid));
}

HRESULT FilterMapper::UnregisterFilterInstance(CLSID) { return E_NOTIMPL; }

HRESULT FilterMapper::UnregisterPin(CLSID clsid, LPCWSTR name) {
  if (!name) return E_POINTER;
  auto filter = ReadLegacy(clsid);
  if (!filter) return VFW_E_FILTER_NOT_REGISTERED;
  if (!std::erase_if(filter->record.pins, [&](const PinRecord& p) { return p.name == name; }))
    return VFW_E_NOT_FOUND;
  return WriteLegacy(*filter);
}

HRESULT FilterMapper::EnumMatchingFilters(IEnumRegFilters** out, DWORD merit, BOOL inputNeeded,
                                          CLSID inMajor, CLSID inSub, BOOL render,
                                          BOOL outputNeeded, CLSID outMajor, CLSID outSub) {
  if (!out) return E_POINTER;
  *out = nullptr;
  FilterQuery query;
  query.minMerit = merit;
  query.inputNeeded = inputNeeded != FALSE;
  query.inputTypes = OneType(inMajor, inSub);
  query.inputRendered = render != FALSE;
  query.outputNeeded = outputNeeded != FALSE;
  query.outputTypes = OneType(outMajor, outSub);
  std::vector<FilterRecord> records;
  for (RegisteredFilter& f : MatchFilters(filter_registry::All(), query))
    records.push_back(std::move(f.record));
  return SnapshotEnum<IEnumRegFilters, RegFilterTraits>::Create(std::move(records), out);
}
