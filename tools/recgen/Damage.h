// Deliberate damage for testing readers, applied while and after a stream file is written:
// garbage between the FileHeader and the first group and an invalid block type in one group
// while writing; flipped bytes and a cut tail on the finished file. The same options and seed
// always damage the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Options.h"

namespace recgen {

// The block type written over the first block of the chosen group: one past the last valid
// type, so a reader sees an invalid group rather than an unknown-but-plausible one.
constexpr uint16_t kBadBlockType = 0x1006;

struct DamageReport {
  size_t garbageBytes = 0;
  int badBlockGroup = -1;
  std::vector<uint64_t> flippedOffsets;  // ascending
  size_t truncatedBytes = 0;
};

class Damage {
 public:
  explicit Damage(const DamageOptions& options) : options_(options) {}

  // Bytes to write between the FileHeader and the first group. They never contain a zero
  // byte, so no group start can be found in them or across their end.
  std::vector<uint8_t> Garbage() const;

  // Spoils the first block type of group `index` if it is the chosen group. Throws when that
  // group has no block to spoil.
  void SpoilGroup(int index, std::vector<uint8_t>& group) const;

  // Cuts the tail, then flips bytes after the FileHeader of the finished file at `path`.
  // Throws when the file cannot be changed or is too short for the damage asked.
  DamageReport Finish(const std::string& path) const;

 private:
  std::vector<uint64_t> ChooseFlipOffsets(uint64_t fileSize) const;

  DamageOptions options_;
};

}  // namespace recgen
