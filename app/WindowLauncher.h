// Opens the Recast window from libRecastWindow.so, found in the lib folder beside the
// program's bin folder, so that only the window loads the GUI toolkit.
#pragma once

namespace recast {

// The entry point the window module exports.
constexpr const char* kWindowEntryPoint = "RecastRunWindow";
using WindowEntryFn = int (*)(int argc, char** argv);

// Runs the window until it closes and returns its exit code; a module that cannot be loaded
// is reported on stderr and gives exit code 1.
int LaunchWindow(int argc, char** argv);

}  // namespace recast
