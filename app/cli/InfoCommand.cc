#include "cli/InfoCommand.h"

#include "HeaderProbe.h"
#include "OutputNaming.h"
#include "cli/ExitCodes.h"
#include "cli/JsonText.h"

namespace recast::cli {
namespace {

struct InfoOptions {
  bool json = false;
  std::vector<std::string> files;
};

// Parses the arguments after --info; false (with a message) on an unknown option.
bool ParseOptions(const std::vector<std::string>& args, InfoOptions& options, std::ostream& err) {
  bool onlyFiles = false;
  for (const std::string& arg : args) {
    if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
      options.files.push_back(arg);
    } else if (arg == "--") {
      onlyFiles = true;
    } else if (arg == "--json") {
      options.json = true;
    } else {
      err << "recast --info: unknown option " << arg << "\n";
      return false;
    }
  }
  if (options.files.empty()) {
    err << "recast --info: no file given\n";
    return false;
  }
  return true;
}

const char* StandardName(VideoStandard standard) {
  return standard == VideoStandard::Ntsc ? "NTSC" : "PAL";
}

// The output the file would get as the only file of a list with WMV output.
std::string OutputAlone(const std::string& path) {
  return OutputPathFor(path, {}, OutputKind::Wmv);
}

void PrintJson(std::ostream& out, const std::string& path, const ProbeResult& probe,
               uint64_t size) {
  out << JsonObject()
             .Add("path", path)
             .Add("width", probe.width)
             .Add("height", probe.height)
             .Add("frame_rate", probe.frameRate)
             .Add("standard", StandardName(probe.standard))
             .Add("audio", probe.audio)
             .Add("size", size)
             .Add("narrow_ntsc", probe.narrowNtsc)
             .Add("output", OutputAlone(path))
             .Text()
      << "\n";
}

void PrintText(std::ostream& out, const std::string& path, const ProbeResult& probe,
               uint64_t size) {
  out << path << "\n"
      << "  frame size:  " << probe.width << " x " << probe.height
      << (probe.narrowNtsc ? " (narrow NTSC)" : "") << "\n"
      << "  frame rate:  " << probe.frameRate << " fps\n"
      << "  standard:    " << StandardName(probe.standard) << "\n"
      << "  audio:       " << (probe.audio != 0 ? "yes" : "no") << "\n"
      << "  file size:   " << size << " bytes (" << (size >> 10) << " KB)\n"
      << "  output:      " << OutputAlone(path) << "\n";
}

}  // namespace

int RunInfoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  InfoOptions options;
  if (!ParseOptions(args, options, err)) return kExitUsage;

  int status = kExitOk;
  ProbeResult previous;
  for (const std::string& path : options.files) {
    const FileProbe probe = ProbeFile(path, previous);
    if (!probe.result) {
      err << "recast --info: " << path << ": " << probe.error << "\n";
      status = kExitFailure;
      continue;
    }
    previous = *probe.result;
    if (options.json) {
      PrintJson(out, path, previous, probe.fileSize);
    } else {
      PrintText(out, path, previous, probe.fileSize);
    }
  }
  return status;
}

}  // namespace recast::cli
