// Writes one recorder stream file as the options ask: FileHeader, then groups of encoded
// video frames with the audio blocks interleaved so that audio time keeps up with video time,
// then the damage asked for; optionally the elementary streams beside it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Damage.h"
#include "Options.h"

namespace recgen {

struct RecordingSummary {
  std::string videoEncoder;  // empty for audio-only streams
  int64_t frames = 0;        // video blocks written
  int64_t groups = 0;
  int64_t keyGroups = 0;
  int64_t audioBlocks = 0;
  int64_t duration = 0;  // of the stream's timeline in 100 ns units
  uint64_t bytes = 0;    // final size of the file
  DamageReport damage;
  std::vector<std::string> elementaryFiles;
};

// Throws std::invalid_argument for options ValidateOptions rejects and std::runtime_error
// when encoding or writing fails.
RecordingSummary WriteRecording(const Options& options);

// The summary as recgen prints it.
std::string DescribeRecording(const Options& options, const RecordingSummary& summary);

}  // namespace recgen
