// The header probe: what the conversion list learns of a recorder file from its FileHeader
// and its first GroupHeader (the first 88 bytes), without decoding anything.
//
// The probe is stateful by design: a video standard outside PAL/NTSC keeps the previous
// standard, and a few resolution codes keep the previous frame size, so every probe starts
// from the result of the one before it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ConvertTypes.h"
#include "recorder/StreamFormat.h"

namespace recast {

// Bytes the probe reads: the FileHeader and the GroupHeader after it.
constexpr size_t kProbeSize = recorder::kFileHeaderSize + recorder::kGroupHeaderSize;

// The value the probe reports for "audio present"; 0 means none.
constexpr int kAudioPresent = 2;

struct ProbeResult {
  VideoStandard standard = kInitialStandard;
  int audio = 0;  // kAudioPresent or 0
  int32_t width = 0;
  int32_t height = 0;
  int32_t frameRate = 0;
  uint64_t fileSize = 0;    // the file size in bytes
  bool narrowNtsc = false;  // the frame is 176 x 120

  bool operator==(const ProbeResult&) const = default;
};

// Derives the probe result from the first kProbeSize bytes of a file; nothing when fewer
// bytes are given. `previous` supplies what the header leaves unchanged.
[[nodiscard]] std::optional<ProbeResult> ProbeHeader(recorder::ByteSpan bytes, uint64_t fileSize,
                                                     const ProbeResult& previous);

struct FileProbe {
  std::optional<ProbeResult> result;  // empty when the header could not be read
  uint64_t fileSize = 0;              // known whenever the file could be opened
  std::string error;                  // why there is no result
};

// Opens the file read-only, takes its size and probes its header. The file is closed again
// before the call returns.
FileProbe ProbeFile(const std::string& path, const ProbeResult& previous);

}  // namespace recast
