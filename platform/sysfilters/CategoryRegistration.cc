#include "CategoryRegistration.h"

#include "ComPtr.h"
#include "FilterMapper.h"
#include "MapperInterfaces.h"
#include "Registration.h"

namespace {

constexpr DWORD kRegFilterVersion1 = 1;  // REGFILTER2 with REGFILTERPINS

ComPtr<IFilterMapper2> NewMapper() {
  ComPtr<IFilterMapper2> mapper;
  HRESULT hr = S_OK;
  CUnknown* object = FilterMapper::CreateInstance(nullptr, &hr);
  if (!object) return mapper;
  object->NonDelegatingAddRef();
  if (SUCCEEDED(hr)) {
    object->NonDelegatingQueryInterface(IID_IFilterMapper2, mapper.ReleaseAndGetVoidAddress());
  }
  object->NonDelegatingRelease();
  return mapper;
}

HRESULT RegisterOne(IFilterMapper2* mapper, const CategorizedTemplate& entry) {
  const CFactoryTemplate& factory = *entry.factory;
  HRESULT hr = AMovieSetupRegisterServer(*factory.m_ClsID, factory.m_Name, ThisModulePath());
  if (FAILED(hr)) return hr;
  const AMOVIESETUP_FILTER* setup = factory.m_pAMovieSetup_Filter;
  REGFILTER2 data{};
  data.dwVersion = kRegFilterVersion1;
  data.dwMerit = setup ? setup->dwMerit : MERIT_DO_NOT_USE;
  data.cPins = setup ? setup->nPins : 0;
  data.rgPins = setup ? setup->lpPin : nullptr;
  return mapper->RegisterFilter(*factory.m_ClsID, factory.m_Name, nullptr, entry.category,
                                factory.m_Name, &data);
}

}  // namespace

HRESULT RegisterInCategories(std::span<const CategorizedTemplate> filters) {
  ComPtr<IFilterMapper2> mapper = NewMapper();
  if (!mapper) return E_OUTOFMEMORY;
  for (const CategorizedTemplate& entry : filters) {
    const HRESULT hr = RegisterOne(mapper.Get(), entry);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT UnregisterFromCategories(std::span<const CategorizedTemplate> filters) {
  ComPtr<IFilterMapper2> mapper = NewMapper();
  if (!mapper) return E_OUTOFMEMORY;
  for (const CategorizedTemplate& entry : filters) {
    const CFactoryTemplate& factory = *entry.factory;
    HRESULT hr = mapper->UnregisterFilter(entry.category, factory.m_Name, *factory.m_ClsID);
    if (FAILED(hr) && hr != VFW_E_FILTER_NOT_REGISTERED) return hr;
    hr = AMovieSetupUnregisterServer(*factory.m_ClsID);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}
