// The Recast window as a module of its own (libRecastWindow.so), loaded by `recast` only when
// the window opens: the batch and info commands then never load the GUI toolkit, whose
// libraries took longer to map and relocate than a lossless conversion takes to run.
#include <string>
#include <vector>

#include "WindowCommand.h"

extern "C" __attribute__((visibility("default"))) int RecastRunWindow(int argc, char** argv) {
  const std::vector<std::string> paths(argv + (argc > 0 ? 1 : 0), argv + argc);
  return recast::ui::RunWindow(argc, argv, paths);
}
