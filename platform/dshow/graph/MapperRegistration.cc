#include "MapperRegistration.h"

#include <vector>

#include "ComPtr.h"
#include "FilterMapper.h"
#include "MapperInterfaces.h"

namespace {

// A filter's setup data as a version 1 registration.
REGFILTER2 Version1(const AMOVIESETUP_FILTER& setup) {
  REGFILTER2 rf2{};
  rf2.dwVersion = 1;
  rf2.dwMerit = setup.dwMerit;
  rf2.cPins = setup.nPins;
  rf2.rgPins = setup.lpPin;
  return rf2;
}

// Where IFilterMapper2 files a filter: null category and instance mean the default category
// under the class id; a named category lists it under its friendly name.
struct Placement {
  const GUID* category = nullptr;
  LPCOLESTR instance = nullptr;
};

Placement PlacementOf(const AMOVIESETUP_FILTER& setup, const GUID* category) {
  return category ? Placement{category, setup.strName} : Placement{};
}

HRESULT RegisterOne(const AMOVIESETUP_FILTER& setup, const Placement& place,
                    IFilterMapper2* mapper2, IFilterMapper* mapper) {
  if (mapper2) {
    const HRESULT hr = mapper2->UnregisterFilter(place.category, place.instance, *setup.clsID);
    if (FAILED(hr) && hr != VFW_E_FILTER_NOT_REGISTERED) return hr;
    const REGFILTER2 rf2 = Version1(setup);
    return mapper2->RegisterFilter(*setup.clsID, setup.strName, nullptr, place.category,
                                   place.instance, &rf2);
  }
  mapper->UnregisterFilter(*setup.clsID);
  HRESULT hr = mapper->RegisterFilter(*setup.clsID, setup.strName, setup.dwMerit);
  for (UINT p = 0; SUCCEEDED(hr) && p < setup.nPins; ++p) {
    const REGFILTERPINS& pin = setup.lpPin[p];
    hr = mapper->RegisterPin(*setup.clsID, pin.strName, pin.bRendered, pin.bOutput, pin.bZero,
                             pin.bMany, pin.clsConnectsToFilter ? *pin.clsConnectsToFilter : CLSID_NULL,
                             pin.strConnectsToPin);
    for (UINT t = 0; SUCCEEDED(hr) && t < pin.nMediaTypes; ++t) {
      const REGPINTYPES& type = pin.lpMediaType[t];
      hr = mapper->RegisterPinType(*setup.clsID, pin.strName,
                                   type.clsMajorType ? *type.clsMajorType : GUID_NULL,
                                   type.clsMinorType ? *type.clsMinorType : GUID_NULL);
    }
  }
  return hr;
}

// Modules that file their filters in categories may be registered before the graph classes
// are known to COM; they then use the mapper linked into them.
enum class WhenNotInCom { Fail, UseOwnMapper };

HRESULT CreateOwnMapper(ComPtr<IFilterMapper2>& mapper2) {
  HRESULT hr = S_OK;
  CUnknown* object = FilterMapper::CreateInstance(nullptr, &hr);
  if (!object) return E_OUTOFMEMORY;
  object->NonDelegatingAddRef();
  if (SUCCEEDED(hr)) {
    hr = object->NonDelegatingQueryInterface(IID_IFilterMapper2,
                                             mapper2.ReleaseAndGetVoidAddress());
  }
  object->NonDelegatingRelease();
  return hr;
}

// The mapper through IFilterMapper2, else through IFilterMapper.
HRESULT CreateMapper(ComPtr<IFilterMapper2>& mapper2, ComPtr<IFilterMapper>& mapper,
                     WhenNotInCom notInCom) {
  if (SUCCEEDED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IFilterMapper2, mapper2.ReleaseAndGetVoidAddress())))
    return S_OK;
  const HRESULT hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IFilterMapper, mapper.ReleaseAndGetVoidAddress());
  if (SUCCEEDED(hr) || notInCom == WhenNotInCom::Fail) return hr;
  return CreateOwnMapper(mapper2);
}

HRESULT RegisterAll(std::span<const AMCategorizedTemplate> filters, WhenNotInCom notInCom) {
  ComPtr<IFilterMapper2> mapper2;
  ComPtr<IFilterMapper> mapper;
  if (HRESULT hr = CreateMapper(mapper2, mapper, notInCom); FAILED(hr)) return hr;
  for (const AMCategorizedTemplate& f : filters) {
    const AMOVIESETUP_FILTER* setup = f.factory->m_pAMovieSetup_Filter;
    if (!setup) continue;
    if (HRESULT hr = RegisterOne(*setup, PlacementOf(*setup, f.category), mapper2.Get(),
                                 mapper.Get());
        FAILED(hr))
      return hr;
  }
  return S_OK;
}

HRESULT UnregisterAll(std::span<const AMCategorizedTemplate> filters, WhenNotInCom notInCom) {
  ComPtr<IFilterMapper2> mapper2;
  ComPtr<IFilterMapper> mapper;
  if (HRESULT hr = CreateMapper(mapper2, mapper, notInCom); FAILED(hr)) return hr;
  for (const AMCategorizedTemplate& f : filters) {
    const AMOVIESETUP_FILTER* setup = f.factory->m_pAMovieSetup_Filter;
    if (!setup) continue;
    const Placement place = PlacementOf(*setup, f.category);
    const HRESULT hr = mapper2 ? mapper2->UnregisterFilter(place.category, place.instance,
                                                           *setup->clsID)
                               : mapper->UnregisterFilter(*setup->clsID);
    if (FAILED(hr) && hr != VFW_E_FILTER_NOT_REGISTERED) return hr;
  }
  return S_OK;
}

// Every template in the default category.
std::vector<AMCategorizedTemplate> Uncategorized(std::span<const CFactoryTemplate> templates) {
  std::vector<AMCategorizedTemplate> filters;
  filters.reserve(templates.size());
  for (const CFactoryTemplate& t : templates) filters.push_back({&t, nullptr});
  return filters;
}

}  // namespace

HRESULT AMRegisterFiltersWithMapper(std::span<const CFactoryTemplate> templates) {
  return RegisterAll(Uncategorized(templates), WhenNotInCom::Fail);
}

HRESULT AMRegisterFiltersWithMapper(std::span<const AMCategorizedTemplate> filters) {
  return RegisterAll(filters, WhenNotInCom::UseOwnMapper);
}

HRESULT AMUnregisterFiltersWithMapper(std::span<const CFactoryTemplate> templates) {
  return UnregisterAll(Uncategorized(templates), WhenNotInCom::Fail);
}

HRESULT AMUnregisterFiltersWithMapper(std::span<const AMCategorizedTemplate> filters) {
  return UnregisterAll(filters, WhenNotInCom::UseOwnMapper);
}
