#include "MapperRegistration.h"

#include "ComPtr.h"
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

HRESULT RegisterOne(const AMOVIESETUP_FILTER& setup, IFilterMapper2* mapper2,
                    IFilterMapper* mapper) {
  if (mapper2) {
    const HRESULT hr = mapper2->UnregisterFilter(nullptr, nullptr, *setup.clsID);
    if (FAILED(hr) && hr != VFW_E_FILTER_NOT_REGISTERED) return hr;
    const REGFILTER2 rf2 = Version1(setup);
    return mapper2->RegisterFilter(*setup.clsID, setup.strName, nullptr, nullptr, nullptr, &rf2);
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

// The mapper through IFilterMapper2, else through IFilterMapper.
HRESULT CreateMapper(ComPtr<IFilterMapper2>& mapper2, ComPtr<IFilterMapper>& mapper) {
  if (SUCCEEDED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IFilterMapper2, mapper2.ReleaseAndGetVoidAddress())))
    return S_OK;
  return CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                          mapper.ReleaseAndGetVoidAddress());
}

}  // namespace

HRESULT AMRegisterFiltersWithMapper(std::span<const CFactoryTemplate> templates) {
  ComPtr<IFilterMapper2> mapper2;
  ComPtr<IFilterMapper> mapper;
  if (HRESULT hr = CreateMapper(mapper2, mapper); FAILED(hr)) return hr;
  for (const CFactoryTemplate& t : templates) {
    if (!t.m_pAMovieSetup_Filter) continue;
    if (HRESULT hr = RegisterOne(*t.m_pAMovieSetup_Filter, mapper2.Get(), mapper.Get());
        FAILED(hr))
      return hr;
  }
  return S_OK;
}

HRESULT AMUnregisterFiltersWithMapper(std::span<const CFactoryTemplate> templates) {
  ComPtr<IFilterMapper2> mapper2;
  ComPtr<IFilterMapper> mapper;
  if (HRESULT hr = CreateMapper(mapper2, mapper); FAILED(hr)) return hr;
  for (const CFactoryTemplate& t : templates) {
    if (!t.m_pAMovieSetup_Filter) continue;
    const CLSID& clsid = *t.m_pAMovieSetup_Filter->clsID;
    const HRESULT hr = mapper2 ? mapper2->UnregisterFilter(nullptr, nullptr, clsid)
                               : mapper->UnregisterFilter(clsid);
    if (FAILED(hr) && hr != VFW_E_FILTER_NOT_REGISTERED) return hr;
  }
  return S_OK;
}
