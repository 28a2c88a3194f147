// The recast program. Each mode is one entry of the command table: `--info` probes headers,
// `--batch` converts files without a window. Without a command (or with files and folders
// only) the Recast window opens.
#include <signal.h>

#include <array>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/BatchCommand.h"
#include "cli/ExitCodes.h"
#include "cli/InfoCommand.h"
#include "WindowLauncher.h"

namespace {

using CommandFn = int (*)(const std::vector<std::string>& args, std::ostream& out,
                          std::ostream& err);

struct Command {
  std::string_view option;
  std::string_view usage;
  CommandFn run;
};

constexpr std::array<Command, 2> kCommands{{
    {"--info", "--info [--json] FILE...   show what the header of each recorder file says",
     recast::cli::RunInfoCommand},
    {"--batch", "--batch [OPTIONS] FILE|FOLDER...   convert to WMV or AVI (--batch --help)",
     recast::cli::RunBatchCommand},
}};

void PrintUsage(std::ostream& out) {
  out << "Usage: recast [FILE|FOLDER...]   open the window (with these files in the list)\n"
         "       recast COMMAND [ARGS]\n\nCommands:\n";
  for (const Command& command : kCommands) out << "  recast " << command.usage << "\n";
  out << "  recast --help" << std::string(20, ' ')
      << "show this text\n\n"
         "--info prints frame size, frame rate, video standard, audio and file size of each\n"
         "file, and the output path it would get; with --json one JSON object per line.\n"
         "Files are probed in the order given, as the conversion list adds them.\n"
         "--batch converts the files (and the recorder files of the folders) one after another\n"
         "into FILE_OUTPUT.WMV or FILE_OUTPUT.AVI beside each source.\n";
}

}  // namespace

int main(int argc, char** argv) {
  // An output that reaches the file size limit must fail its job ("Convert Error") like a full
  // disk, not end the program with a core dump in the middle of the list.
  signal(SIGXFSZ, SIG_IGN);
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0].rfind('-', 0) != 0) return recast::LaunchWindow(argc, argv);
  if (args[0] == "--help" || args[0] == "-h") {
    PrintUsage(std::cout);
    return recast::cli::kExitOk;
  }
  for (const Command& command : kCommands) {
    if (args[0] == command.option)
      return command.run(std::vector<std::string>(args.begin() + 1, args.end()), std::cout,
                         std::cerr);
  }
  std::cerr << "recast: unknown command " << args[0] << "\n\n";
  PrintUsage(std::cerr);
  return recast::cli::kExitUsage;
}
