// `recast` without a command (or with files and folders only): the Recast window.
#pragma once

#include <string>
#include <vector>

namespace recast::ui {

// Runs the window until it closes; the arguments are added to the list. Returns the exit code.
int RunWindow(int argc, char** argv, const std::vector<std::string>& paths);

}  // namespace recast::ui
