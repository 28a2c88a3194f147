// Exit statuses of the recast program.
#pragma once

namespace recast::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // the command ran but some of its work failed
constexpr int kExitUsage = 2;    // the command line could not be understood

}  // namespace recast::cli
