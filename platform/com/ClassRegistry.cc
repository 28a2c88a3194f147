#include "ClassRegistry.h"

#include "Registry.h"

HRESULT InprocServerPath(REFCLSID clsid, std::string& path) {
  const std::string key_path = "CLSID\\" + GuidToString(clsid) + "\\InprocServer32";
  HKEY key = nullptr;
  LONG result = RegOpenKeyExA(HKEY_CLASSES_ROOT, key_path.c_str(), 0, KEY_QUERY_VALUE, &key);
  if (result == ERROR_SUCCESS) {
    const auto value = reg::GetString(key, "", "");
    RegCloseKey(key);
    if (!value) return REGDB_E_CLASSNOTREG;
    if (value->empty()) return CO_E_DLLNOTFOUND;
    path = *value;
    return S_OK;
  }
  return result == ERROR_FILE_NOT_FOUND ? REGDB_E_CLASSNOTREG : REGDB_E_READREGDB;
}
