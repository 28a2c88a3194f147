#include "Registration.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>

#include "Registry.h"
#include "WideString.h"

namespace {

constexpr char kClsidKey[] = "CLSID\\";
constexpr char kInprocServerKey[] = "\\InprocServer32";
constexpr char kThreadingModelValue[] = "ThreadingModel";

// Internal linkage: its address lies in whichever module linked this file, never another's.
void ModuleAnchor() {}

std::string ClassKey(REFCLSID clsid) { return kClsidKey + GuidToString(clsid); }

HRESULT FromRegistry(LONG error) { return HRESULT_FROM_WIN32(static_cast<uint32_t>(error)); }

}  // namespace

std::string ThisModulePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModuleAnchor), &info) == 0 || !info.dli_fname) return {};
  char resolved[PATH_MAX];
  return realpath(info.dli_fname, resolved) ? std::string(resolved) : std::string(info.dli_fname);
}

HRESULT AMovieSetupRegisterServer(REFCLSID clsid, LPCWSTR description,
                                  const std::string& modulePath) {
  if (modulePath.empty()) return E_FAIL;
  const std::string key = ClassKey(clsid);
  const std::string name = description ? WideToUtf8(description) : std::string();
  LONG error = reg::SetString(HKEY_CLASSES_ROOT, key, "", name);
  if (error == ERROR_SUCCESS) {
    error = reg::SetString(HKEY_CLASSES_ROOT, key + kInprocServerKey, "", modulePath);
  }
  if (error == ERROR_SUCCESS) {
    error = reg::SetString(HKEY_CLASSES_ROOT, key + kInprocServerKey, kThreadingModelValue,
                           kThreadingModelBoth);
  }
  return FromRegistry(error);
}

HRESULT AMovieSetupUnregisterServer(REFCLSID clsid) {
  const LONG error = reg::DeleteTree(HKEY_CLASSES_ROOT, ClassKey(clsid));
  return error == ERROR_FILE_NOT_FOUND ? S_OK : FromRegistry(error);
}

HRESULT AMRegisterServer(std::span<const CFactoryTemplate> templates) {
  const std::string path = ThisModulePath();
  for (const CFactoryTemplate& entry : templates) {
    const HRESULT hr = AMovieSetupRegisterServer(*entry.m_ClsID, entry.m_Name, path);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT AMUnregisterServer(std::span<const CFactoryTemplate> templates) {
  for (const CFactoryTemplate& entry : templates) {
    const HRESULT hr = AMovieSetupUnregisterServer(*entry.m_ClsID);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}
