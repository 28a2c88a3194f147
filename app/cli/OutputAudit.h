// OutputAudit: what a finished output file holds, for the integrity report: its size and
// SHA-256, and the video and audio packets a reader finds in it (what ffprobe counts).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Sha256.h"

namespace recast::cli {

struct OutputAudit {
  uint64_t size = 0;
  Sha256::Digest digest{};
  // None when the file cannot be read as a media file (the digest still stands).
  std::optional<uint64_t> frames;
  std::optional<uint64_t> audioBlocks;
};

// Nothing when the file does not exist or cannot be read.
std::optional<OutputAudit> AuditOutput(const std::string& path);

}  // namespace recast::cli
