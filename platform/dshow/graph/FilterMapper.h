// The filter mapper (CLSID_FilterMapper2, also answering IFilterMapper for callers that fall
// back to it): registers filters with their merit and pins in the registry (FilterRegistry.h)
// and finds them again by media type and merit (FilterMatcher.h).
//
// IFilterMapper keeps its registrations in the default category under the class identifier;
// its pins and pin types are added to that same record.
#pragma once

#include "ComBase.h"
#include "MapperInterfaces.h"

class FilterMapper final : public CUnknown, public IFilterMapper2, public IFilterMapper {
 public:
  FilterMapper() : CUnknown("FilterMapper", nullptr) {}
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // IFilterMapper2.
  HRESULT CreateCategory(REFCLSID clsidCategory, DWORD dwCategoryMerit,
                         LPCWSTR Description) override;
  // VFW_E_FILTER_NOT_REGISTERED (a Win32 "not found" code) when there was nothing to remove.
  HRESULT UnregisterFilter(const CLSID* pclsidCategory, LPCOLESTR szInstance,
                           REFCLSID Filter) override;
  HRESULT RegisterFilter(REFCLSID clsidFilter, LPCWSTR Name, IMoniker** ppMoniker,
                         const CLSID* pclsidCategory, LPCOLESTR szInstance,
                         const REGFILTER2* prf2) override;
  HRESULT EnumMatchingFilters(IEnumMoniker** ppEnum, DWORD dwFlags, BOOL bExactMatch,
                              DWORD dwMerit, BOOL bInputNeeded, DWORD cInputTypes,
                              const GUID* pInputTypes, const REGPINMEDIUM* pMedIn,
                              const CLSID* pPinCategoryIn, BOOL bRender, BOOL bOutputNeeded,
                              DWORD cOutputTypes, const GUID* pOutputTypes,
                              const REGPINMEDIUM* pMedOut, const CLSID* pPinCategoryOut) override;

  // IFilterMapper.
  HRESULT RegisterFilter(CLSID clsid, LPCWSTR Name, DWORD dwMerit) override;
  HRESULT RegisterFilterInstance(CLSID clsid, LPCWSTR Name, CLSID* MRId) override;
  HRESULT RegisterPin(CLSID Filter, LPCWSTR Name, BOOL bRendered, BOOL bOutput, BOOL bZero,
                      BOOL bMany, CLSID ConnectsToFilter, LPCWSTR ConnectsToPin) override;
  HRESULT RegisterPinType(CLSID clsFilter, LPCWSTR strName, CLSID clsMajorType,
                          CLSID clsSubType) override;
  HRESULT UnregisterFilter(CLSID Filter) override;
  HRESULT UnregisterFilterInstance(CLSID MRId) override;
  HRESULT UnregisterPin(CLSID Filter, LPCWSTR Name) override;
  HRESULT EnumMatchingFilters(IEnumRegFilters** ppEnum, DWORD dwMerit, BOOL bInputNeeded,
                              CLSID clsInMaj, CLSID clsInSub, BOOL bRender, BOOL bOututNeeded,
                              CLSID clsOutMaj, CLSID clsOutSub) override;
};
