// `recast --batch [options] FILE|FOLDER...`: converts files with the same driver and converter
// the window uses, one line per file on the terminal, a summary at the end.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace recast::cli {

// Exit status: 0 when every file converted, 1 when any did not (or the run was stopped),
// 2 for a usage error.
int RunBatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace recast::cli
