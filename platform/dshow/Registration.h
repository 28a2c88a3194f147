// Registration of a module's classes.
//
// COM: each class gets HKEY_CLASSES_ROOT\CLSID\{clsid} with the friendly name as default value
// and the subkey InprocServer32 whose default value is the full path of the module that holds
// this code (found from its own address) and whose ThreadingModel is "Both". Unregistering
// deletes the class key with everything below it (a key that is not there counts as removed).
//
// Filter mapper: a template's AMOVIESETUP_FILTER (name, merit, pins and their media types) is
// what the filter mapper records so that graphs can find the filter by media type. The mapper
// is not part of the platform yet; AMRegisterServer and AMUnregisterServer write and remove the
// COM class keys only, and are the place where the mapper step joins.
#pragma once

#include <span>
#include <string>

#include "ClassFactory.h"

// Merits: how eagerly graph building tries a filter.
constexpr DWORD MERIT_PREFERRED = 0x800000;
constexpr DWORD MERIT_NORMAL = 0x600000;
constexpr DWORD MERIT_UNLIKELY = 0x400000;
constexpr DWORD MERIT_DO_NOT_USE = 0x200000;
constexpr DWORD MERIT_SW_COMPRESSOR = 0x100000;
constexpr DWORD MERIT_HW_COMPRESSOR = 0x100050;

struct REGPINTYPES {
  const CLSID* clsMajorType;
  const CLSID* clsMinorType;
};

struct REGFILTERPINS {
  LPCWSTR strName;
  BOOL bRendered;
  BOOL bOutput;
  BOOL bZero;  // the pin may be absent
  BOOL bMany;  // the filter may have several of it
  const CLSID* clsConnectsToFilter;
  LPCWSTR strConnectsToPin;
  UINT nMediaTypes;
  const REGPINTYPES* lpMediaType;
};

using AMOVIESETUP_MEDIATYPE = REGPINTYPES;
using AMOVIESETUP_PIN = REGFILTERPINS;

struct AMOVIESETUP_FILTER {
  const CLSID* clsID;
  LPCWSTR strName;
  DWORD dwMerit;
  UINT nPins;
  const AMOVIESETUP_PIN* lpPin;
};

// The threading model every class of the platform registers.
inline constexpr char kThreadingModelBoth[] = "Both";

// The full path of the module (shared library or program) that contains this code.
std::string ThisModulePath();
// Writes the class key of `clsid` (see above) naming `modulePath`.
HRESULT AMovieSetupRegisterServer(REFCLSID clsid, LPCWSTR description, const std::string& modulePath);
HRESULT AMovieSetupUnregisterServer(REFCLSID clsid);

// DllRegisterServer / DllUnregisterServer over a template table: every class, in table order;
// the first failure is returned (registration stops there).
HRESULT AMRegisterServer(std::span<const CFactoryTemplate> templates);
HRESULT AMUnregisterServer(std::span<const CFactoryTemplate> templates);
