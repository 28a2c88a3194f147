// regsvr: registers and unregisters in-process modules and lists what is registered.
//
//   regsvr MODULE.so      calls the module's DllRegisterServer
//   regsvr -u MODULE.so   calls its DllUnregisterServer
//   regsvr --list         prints every registered filter, URL scheme and file type
//
// Exit status: 0 success, 1 usage, 2 module not found or not loadable, 3 export missing,
// 4 the entry point failed (its code is printed).
#include <cstring>
#include <iostream>

#include "ComRuntime.h"
#include "GraphClasses.h"
#include "Listing.h"
#include "Registrar.h"

namespace {

int Usage() {
  std::cerr << "usage: regsvr MODULE.so | regsvr -u MODULE.so | regsvr --list\n";
  return static_cast<int>(RegistrarStatus::kUsage);
}

int Report(const RegistrarResult& result) {
  if (!result.message.empty()) std::cerr << "regsvr: " << result.message << "\n";
  return static_cast<int>(result.status);
}

int Dispatch(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
    ListRegistrations(std::cout);
    return 0;
  }
  if (argc == 2 && argv[1][0] != '-')
    return Report(RunRegistration(argv[1], RegistrarAction::kRegister));
  if (argc == 3 && std::strcmp(argv[1], "-u") == 0)
    return Report(RunRegistration(argv[2], RegistrarAction::kUnregister));
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) return Usage();
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
    std::cerr << "regsvr: cannot initialise COM\n";
    return static_cast<int>(RegistrarStatus::kFailed);
  }
  int status = 0;
  {
    // Modules register their filters through the mapper, which this process offers itself.
    const InProcessGraphClasses graphClasses;
    status = Dispatch(argc, argv);
  }
  CoUninitialize();
  return status;
}
