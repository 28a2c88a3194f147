// `recast --info [--json] FILE...`: the header probe of each file, as the conversion list
// would see the files added in this order (a probe keeps what the header leaves unchanged
// from the file before it).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace recast::cli {

// Exit status: 0 when every file was probed, 1 when any could not be, 2 for a usage error.
int RunInfoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace recast::cli
