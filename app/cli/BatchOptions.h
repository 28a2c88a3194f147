// The command line of `recast --batch`: what to convert and how.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ConvertTypes.h"

namespace recast::cli {

struct BatchOptions {
  OutputKind kind = OutputKind::Wmv;
  // WMV: a constant bit rate in kbit/s, or a VBR quality; neither keeps the estimate of each
  // source's own bit rate (CBR).
  std::optional<uint32_t> cbrKbps;
  std::optional<uint32_t> vbrQuality;
  // WMV output size: explicit, or a preset name whose height follows each file's standard.
  std::optional<int32_t> width;
  std::optional<int32_t> height;
  std::string preset;
  // AVI: the encoder settings kept in the registry.
  std::optional<uint32_t> aviBitRateKbps;
  std::optional<uint32_t> aviQuantizer;
  std::optional<uint32_t> aviKeyInterval;
  std::optional<uint32_t> aviAudioRate;
  // Conversions at once; none: one per processor core.
  std::optional<uint32_t> jobs;
  // Where the integrity report goes (JSON); empty: no report.
  std::string reportPath;
  std::vector<std::string> inputs;  // files and folders, in order
};

struct ParsedBatch {
  std::optional<BatchOptions> options;
  std::string error;  // why the command line was refused
  bool help = false;
};

ParsedBatch ParseBatchOptions(const std::vector<std::string>& args);

extern const char* const kBatchUsage;

}  // namespace recast::cli
