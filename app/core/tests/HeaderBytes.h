// Hand-built recorder file heads for the probe, driver and command-line tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "recorder/StreamFormat.h"

namespace recast::testing {

// The fields the probe reads; everything else stays zero.
struct HeaderSpec {
  uint32_t version = recorder::kVersionExplicitSize;  // a new header
  uint16_t standard = recorder::kStandardPal;
  uint32_t fileResolution = 0;  // FileHeader.videoResolution (old headers)
  uint32_t audioWord = 1;
  uint32_t groupResolution = recorder::kResolutionCif;  // GroupHeader (new headers)
  uint32_t frameRateCode = recorder::kFrameRateBase + 25;
};

// FileHeader and first GroupHeader, then `payload` bytes of filler.
std::vector<uint8_t> HeaderBytes(const HeaderSpec& fields, size_t payload = 0);

void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// A fresh directory under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  // Writes a recorder file at `relative` (folders created) and returns its full path.
  std::string Recording(const std::string& relative, const HeaderSpec& fields = {},
                        size_t payload = 0) const;

 private:
  std::filesystem::path path_;
};

}  // namespace recast::testing
