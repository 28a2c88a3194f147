#include "WindowLauncher.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <iostream>
#include <string>

#include "cli/ExitCodes.h"

namespace recast {
namespace {

constexpr const char* kModuleFromProgram = "/../lib/libRecastWindow.so";

// The module's path from the program's own location (not argv[0], which a shell may not
// resolve to a path).
std::string ModulePath() {
  char self[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return {};
  std::string folder(self, static_cast<size_t>(length));
  folder.erase(folder.find_last_of('/'));
  return folder + kModuleFromProgram;
}

}  // namespace

int LaunchWindow(int argc, char** argv) {
  const std::string path = ModulePath();
  // The window runs until the program ends, so the module is never closed.
  void* module = path.empty() ? nullptr : dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  const auto entry =
      module ? reinterpret_cast<WindowEntryFn>(dlsym(module, kWindowEntryPoint)) : nullptr;
  if (!entry) {
    const char* why = dlerror();
    std::cerr << "recast: cannot open the window: " << (why ? why : path.c_str()) << "\n";
    return cli::kExitFailure;
  }
  return entry(argc, argv);
}

}  // namespace recast
