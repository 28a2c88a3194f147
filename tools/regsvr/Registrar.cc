#include "Registrar.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>

namespace {

std::string Hex(HRESULT code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
  return text;
}

}  // namespace

RegistrarResult RunRegistration(const std::string& modulePath, RegistrarAction action) {
  const char* entryName =
      action == RegistrarAction::kRegister ? "DllRegisterServer" : "DllUnregisterServer";
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(modulePath, error);
  if (error || !std::filesystem::exists(absolute, error))
    return {RegistrarStatus::kModuleNotFound, CO_E_DLLNOTFOUND, "module not found: " + modulePath};
  // Kept loaded: the module may have started threads or registered objects in this process.
  void* module = dlopen(absolute.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char* reason = dlerror();
    return {RegistrarStatus::kModuleNotFound, CO_E_DLLNOTFOUND,
            "cannot load " + absolute.string() + ": " + (reason ? reason : "unknown error")};
  }
  auto* entry = reinterpret_cast<HRESULT (*)()>(dlsym(module, entryName));
  if (!entry)
    return {RegistrarStatus::kNoExport, CO_E_ERRORINDLL,
            absolute.string() + " has no export " + entryName};
  const HRESULT hr = entry();
  if (FAILED(hr))
    return {RegistrarStatus::kFailed, hr,
            std::string(entryName) + " of " + absolute.string() + " failed with code " + Hex(hr)};
  return {RegistrarStatus::kOk, hr, {}};
}
