// Filter registration and lookup: the filter mapper (IFilterMapper2 and the older IFilterMapper),
// the registration records (REGFILTER2 and its pins and types), the system device enumerator
// (ICreateDevEnum) and the filter categories with their class identifiers.
#pragma once

#include "MediaGuids.h"
#include "OleInterfaces.h"
#include "Registration.h"  // merits, REGPINTYPES, REGFILTERPINS

struct IEnumRegFilters;

DEFINE_GUID(IID_IFilterMapper, 0x56A868A3, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B,
            0xA7, 0x70);
DEFINE_GUID(IID_IFilterMapper2, 0xB79BB0B0, 0x33C1, 0x11D1, 0xAB, 0xE1, 0x00, 0xA0, 0xC9, 0x05,
            0xF3, 0x75);
DEFINE_GUID(IID_IEnumRegFilters, 0x56A868A4, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B,
            0xA7, 0x70);
DEFINE_GUID(IID_ICreateDevEnum, 0x29840822, 0x5B84, 0x11D0, 0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11,
            0xCE, 0x86);

DEFINE_GUID(CLSID_FilterMapper, 0xE436EBB2, 0x524F, 0x11CE, 0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B,
            0xA7, 0x70);
DEFINE_GUID(CLSID_SystemDeviceEnum, 0x62BE5D10, 0x60EB, 0x11D0, 0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11,
            0xCE, 0x86);

// Filter categories.
DEFINE_GUID(CLSID_ActiveMovieCategories, 0xDA4E3DA0, 0xD07D, 0x11D0, 0xBD, 0x50, 0x00, 0xA0, 0xC9,
            0x11, 0xCE, 0x86);
DEFINE_GUID(CLSID_AudioInputDeviceCategory, 0x33D9A762, 0x90C8, 0x11D0, 0xBD, 0x43, 0x00, 0xA0,
            0xC9, 0x11, 0xCE, 0x86);
DEFINE_GUID(CLSID_AudioCompressorCategory, 0x33D9A761, 0x90C8, 0x11D0, 0xBD, 0x43, 0x00, 0xA0,
            0xC9, 0x11, 0xCE, 0x86);
DEFINE_GUID(CLSID_AudioRendererCategory, 0xE0F158E1, 0xCB04, 0x11D0, 0xBD, 0x4E, 0x00, 0xA0, 0xC9,
            0x11, 0xCE, 0x86);
DEFINE_GUID(CLSID_MidiRendererCategory, 0x4EFE2452, 0x168A, 0x11D1, 0xBC, 0x76, 0x00, 0xC0, 0x4F,
            0xB9, 0x45, 0x3B);
DEFINE_GUID(CLSID_VideoInputDeviceCategory, 0x860BB310, 0x5D01, 0x11D0, 0xBD, 0x3B, 0x00, 0xA0,
            0xC9, 0x11, 0xCE, 0x86);
DEFINE_GUID(CLSID_VideoCompressorCategory, 0x33D9A760, 0x90C8, 0x11D0, 0xBD, 0x43, 0x00, 0xA0,
            0xC9, 0x11, 0xCE, 0x86);

// Status codes of the mapper.
// UnregisterFilter of a filter that is not registered: the Win32 "file not found" HRESULT,
// which registration code treats as success.
constexpr HRESULT VFW_E_FILTER_NOT_REGISTERED = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

struct REGPINMEDIUM {
  CLSID clsMedium;
  DWORD dw1;
  DWORD dw2;
};

// Pin flags of REGFILTERPINS2.
constexpr DWORD REG_PINFLAG_B_ZERO = 0x1;
constexpr DWORD REG_PINFLAG_B_RENDERER = 0x2;
constexpr DWORD REG_PINFLAG_B_MANY = 0x4;
constexpr DWORD REG_PINFLAG_B_OUTPUT = 0x8;

// A pin of a version 2 registration.
struct REGFILTERPINS2 {
  DWORD dwFlags;
  UINT cInstances;
  UINT nMediaTypes;
  const REGPINTYPES* lpMediaType;
  UINT nMediums;
  const REGPINMEDIUM* lpMedium;
  const CLSID* clsPinCategory;
};

// A filter's registration: merit and pins, version 1 (rgPins) or 2 (rgPins2).
struct REGFILTER2 {
  DWORD dwVersion;
  DWORD dwMerit;
  union {
    struct {
      ULONG cPins;
      const REGFILTERPINS* rgPins;
    };
    struct {
      ULONG cPins2;
      const REGFILTERPINS2* rgPins2;
    };
  };
};

// What IEnumRegFilters hands out: one CoTaskMemAlloc block holding the record and its name.
struct REGFILTER {
  CLSID Clsid;
  LPWSTR Name;
};

struct IEnumRegFilters : IUnknown {
  static constexpr const GUID& kIid = IID_IEnumRegFilters;
  virtual HRESULT Next(ULONG cFilters, REGFILTER** apRegFilter, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cFilters) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumRegFilters** ppEnum) = 0;

 protected:
  ~IEnumRegFilters() = default;
};

struct IFilterMapper : IUnknown {
  static constexpr const GUID& kIid = IID_IFilterMapper;
  virtual HRESULT RegisterFilter(CLSID clsid, LPCWSTR Name, DWORD dwMerit) = 0;
  virtual HRESULT RegisterFilterInstance(CLSID clsid, LPCWSTR Name, CLSID* MRId) = 0;
  virtual HRESULT RegisterPin(CLSID Filter, LPCWSTR Name, BOOL bRendered, BOOL bOutput,
                              BOOL bZero, BOOL bMany, CLSID ConnectsToFilter,
                              LPCWSTR ConnectsToPin) = 0;
  virtual HRESULT RegisterPinType(CLSID clsFilter, LPCWSTR strName, CLSID clsMajorType,
                                  CLSID clsSubType) = 0;
  virtual HRESULT UnregisterFilter(CLSID Filter) = 0;
  virtual HRESULT UnregisterFilterInstance(CLSID MRId) = 0;
  virtual HRESULT UnregisterPin(CLSID Filter, LPCWSTR Name) = 0;
  virtual HRESULT EnumMatchingFilters(IEnumRegFilters** ppEnum, DWORD dwMerit,
                                      BOOL bInputNeeded, CLSID clsInMaj, CLSID clsInSub,
                                      BOOL bRender, BOOL bOututNeeded, CLSID clsOutMaj,
                                      CLSID clsOutSub) = 0;

 protected:
  ~IFilterMapper() = default;
};

struct IFilterMapper2 : IUnknown {
  static constexpr const GUID& kIid = IID_IFilterMapper2;
  virtual HRESULT CreateCategory(REFCLSID clsidCategory, DWORD dwCategoryMerit,
                                 LPCWSTR Description) = 0;
  // `pclsidCategory` null: the default category (CLSID_LegacyAmFilterCategory); `szInstance`
  // null: the filter's class identifier as text.
  virtual HRESULT UnregisterFilter(const CLSID* pclsidCategory, LPCOLESTR szInstance,
                                   REFCLSID Filter) = 0;
  virtual HRESULT RegisterFilter(REFCLSID clsidFilter, LPCWSTR Name, IMoniker** ppMoniker,
                                 const CLSID* pclsidCategory, LPCOLESTR szInstance,
                                 const REGFILTER2* prf2) = 0;
  // Media types are pairs of GUIDs (major, sub); GUID_NULL matches anything.
  virtual HRESULT EnumMatchingFilters(IEnumMoniker** ppEnum, DWORD dwFlags, BOOL bExactMatch,
                                      DWORD dwMerit, BOOL bInputNeeded, DWORD cInputTypes,
                                      const GUID* pInputTypes, const REGPINMEDIUM* pMedIn,
                                      const CLSID* pPinCategoryIn, BOOL bRender,
                                      BOOL bOutputNeeded, DWORD cOutputTypes,
                                      const GUID* pOutputTypes, const REGPINMEDIUM* pMedOut,
                                      const CLSID* pPinCategoryOut) = 0;

 protected:
  ~IFilterMapper2() = default;
};

// CreateClassEnumerator flags: none are needed here.
struct ICreateDevEnum : IUnknown {
  static constexpr const GUID& kIid = IID_ICreateDevEnum;
  // S_FALSE and no enumerator for a category without entries.
  virtual HRESULT CreateClassEnumerator(REFCLSID clsidDeviceClass, IEnumMoniker** ppEnumMoniker,
                                        DWORD dwFlags) = 0;

 protected:
  ~ICreateDevEnum() = default;
};
