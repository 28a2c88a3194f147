// The streams of a recording as plain files beside it, for feeding other tools: the raw
// video (Annex B H.264 or MPEG-4 part 2), the raw encoded audio exactly as it stands in the
// audio blocks, and the sound before encoding as signed 16-bit little-endian mono PCM.
#pragma once

#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "AudioCodings.h"
#include "Options.h"

namespace recgen {

class ElementaryStreams {
 public:
  // Opens "<dir>/<stem of output>.<ext>" for each stream the options carry; throws when a
  // file cannot be created.
  explicit ElementaryStreams(const Options& options);

  void AddVideo(std::span<const uint8_t> frame);
  void AddAudio(std::span<const uint8_t> block);

  // Writes the source sound for `audioBlocks` blocks and closes everything; returns the paths.
  std::vector<std::string> Finish(int64_t audioBlocks);

 private:
  std::ofstream Create(const std::string& extension);

  std::string base_;  // dir/stem
  const AudioCoding* coding_ = nullptr;
  std::vector<std::string> paths_;
  std::ofstream video_;
  std::ofstream audio_;
};

}  // namespace recgen
