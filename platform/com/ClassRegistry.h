// Where the runtime finds a class's module: the registry's class keys.
#pragma once

#include <string>

#include "Guid.h"
#include "HResult.h"

// The default value of HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32. REGDB_E_CLASSNOTREG
// when the class or its in-process server is not registered, REGDB_E_READREGDB when the
// registry cannot be read, CO_E_DLLNOTFOUND when the entry names no module.
HRESULT InprocServerPath(REFCLSID clsid, std::string& path);
