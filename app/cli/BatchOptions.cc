#include "BatchOptions.h"

#include <charconv>
#include <functional>
#include <map>
#include <stdexcept>

#include "VideoSetDlg.h"

namespace recast::cli {

const char* const kBatchUsage =
    "usage: recast --batch [options] FILE|FOLDER...\n"
    "  --to wmv|avi|mp4|mkv  output kind (wmv); mp4 and mkv copy the recorded video as it is\n"
    "  --cbr KBPS            WMV at a constant bit rate (default: the source's estimated rate)\n"
    "  --vbr QUALITY         WMV at a variable bit rate of quality 1..100\n"
    "  --size WxH|PRESET     WMV picture size, or .QCIF .CIF .DCIF .2CIF .4CIF\n"
    "  --avi-bitrate KBPS    AVI video bit rate, kept with the encoder's settings\n"
    "  --avi-quantizer Q     AVI fixed quantiser 2..31 instead of a bit rate (0: bit rate)\n"
    "  --avi-keyint N        AVI frames between key frames\n"
    "  --avi-audio-rate HZ   AVI audio resampled to HZ (0: as decoded)\n"
    "  -j, --jobs N          convert up to N files at once (default: one per processor core)\n"
    "  --report FILE.json    write an integrity report: per file the sizes and SHA-256 of\n"
    "                        source and output, frames and audio blocks read and written\n"
    "Folders add their .264, .mp4 and .qrl files. Each output is written next to its source\n"
    "as SOURCE_OUTPUT.WMV, .AVI, .MP4 or .MKV. Ctrl-C stops the running files (\"Hand Stop\").\n"
    "Exit status: 0 when every file converted, 1 otherwise, 2 for a usage error.\n";

namespace {

constexpr uint32_t kMaxNumber = 1'000'000'000;
// More graphs at once than this only compete for the same cores and memory.
constexpr uint32_t kMaxJobs = 64;

uint32_t ParseNumber(const std::string& text) {
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty() || value > kMaxNumber)
    throw std::invalid_argument("not a number: " + text);
  return value;
}

void ParseSize(const std::string& text, BatchOptions& o) {
  if (FindSizePreset(text)) {
    o.preset = text;
    return;
  }
  const size_t x = text.find('x');
  if (x == std::string::npos) throw std::invalid_argument("size must be WxH or a preset: " + text);
  const uint32_t width = ParseNumber(text.substr(0, x));
  const uint32_t height = ParseNumber(text.substr(x + 1));
  if (width == 0 || height == 0 || width > 4096 || height > 4096)
    throw std::invalid_argument("size out of range: " + text);
  o.width = static_cast<int32_t>(width);
  o.height = static_cast<int32_t>(height);
}

OutputKind ParseKind(const std::string& text) {
  if (text == "wmv") return OutputKind::Wmv;
  if (text == "avi") return OutputKind::Avi;
  if (text == "mp4") return OutputKind::Mp4;
  if (text == "mkv") return OutputKind::Mkv;
  throw std::invalid_argument("--to takes wmv, avi, mp4 or mkv: " + text);
}

using Setter = std::function<void(const std::string&, BatchOptions&)>;

const std::map<std::string, Setter>& Setters() {
  static const std::map<std::string, Setter> setters = {
      {"--to", [](const std::string& v, BatchOptions& o) { o.kind = ParseKind(v); }},
      {"-j", [](const std::string& v, BatchOptions& o) { o.jobs = ParseNumber(v); }},
      {"--jobs", [](const std::string& v, BatchOptions& o) { o.jobs = ParseNumber(v); }},
      {"--report", [](const std::string& v, BatchOptions& o) {
         if (v.empty()) throw std::invalid_argument("--report needs a file name");
         o.reportPath = v;
       }},
      {"--cbr", [](const std::string& v, BatchOptions& o) { o.cbrKbps = ParseNumber(v); }},
      {"--vbr", [](const std::string& v, BatchOptions& o) { o.vbrQuality = ParseNumber(v); }},
      {"--size", ParseSize},
      {"--avi-bitrate", [](const std::string& v, BatchOptions& o) { o.aviBitRateKbps = ParseNumber(v); }},
      {"--avi-quantizer", [](const std::string& v, BatchOptions& o) { o.aviQuantizer = ParseNumber(v); }},
      {"--avi-keyint", [](const std::string& v, BatchOptions& o) { o.aviKeyInterval = ParseNumber(v); }},
      {"--avi-audio-rate", [](const std::string& v, BatchOptions& o) { o.aviAudioRate = ParseNumber(v); }},
  };
  return setters;
}

void Check(const BatchOptions& o) {
  if (o.inputs.empty()) throw std::invalid_argument("no file or folder to convert");
  if (o.jobs && (*o.jobs == 0 || *o.jobs > kMaxJobs))
    throw std::invalid_argument("-j takes 1.." + std::to_string(kMaxJobs) + " conversions at once");
  if (o.cbrKbps && o.vbrQuality) throw std::invalid_argument("--cbr and --vbr exclude each other");
  if (o.cbrKbps && *o.cbrKbps == 0) throw std::invalid_argument("--cbr needs a rate above 0");
  if (o.vbrQuality && (*o.vbrQuality == 0 || *o.vbrQuality > 100))
    throw std::invalid_argument("--vbr takes a quality of 1..100");
}

}  // namespace

ParsedBatch ParseBatchOptions(const std::vector<std::string>& args) {
  ParsedBatch parsed;
  BatchOptions options;
  try {
    for (size_t i = 0; i < args.size(); ++i) {
      const std::string& arg = args[i];
      if (arg == "--help" || arg == "-h") {
        parsed.help = true;
        return parsed;
      }
      const auto setter = Setters().find(arg);
      if (setter != Setters().end()) {
        if (i + 1 >= args.size()) throw std::invalid_argument(arg + " needs a value");
        setter->second(args[++i], options);
      } else if (arg.starts_with("--")) {
        throw std::invalid_argument("unknown option " + arg);
      } else {
        options.inputs.push_back(arg);
      }
    }
    Check(options);
  } catch (const std::invalid_argument& error) {
    parsed.error = error.what();
    return parsed;
  }
  parsed.options = std::move(options);
  return parsed;
}

}  // namespace recast::cli
