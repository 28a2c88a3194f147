// Loading a module and calling its registration entry point, with a reason for every failure.
#pragma once

#include <string>

#include "HResult.h"

enum class RegistrarStatus {
  kOk = 0,
  kUsage = 1,
  kModuleNotFound = 2,
  kNoExport = 3,
  kFailed = 4,
};

struct RegistrarResult {
  RegistrarStatus status = RegistrarStatus::kOk;
  HRESULT code = S_OK;  // what the entry point returned
  std::string message;  // empty on success
};

enum class RegistrarAction { kRegister, kUnregister };

// Loads `modulePath` (made absolute first, so the module records where it lives) and calls
// DllRegisterServer or DllUnregisterServer. COM must be initialised.
RegistrarResult RunRegistration(const std::string& modulePath, RegistrarAction action);
