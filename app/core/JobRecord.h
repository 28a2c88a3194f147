// One file of the conversion list, as the header probe described it when the file was added.
#pragma once

#include <cstdint>
#include <string>

namespace recast {

struct JobRecord {
  std::string sourcePath;
  int32_t width = 0;      // frame width in pixels
  int32_t height = 0;     // frame height in pixels
  uint64_t fileSize = 0;  // size of the source file in bytes
  int32_t frameRate = 0;  // frames per second; 0 when the header could not be read

  bool operator==(const JobRecord&) const = default;
};

}  // namespace recast
