// Collects the blocks of one group and lays the group out: GroupHeader, then each block's
// BlockHeader and payload back to back. The block count and the audio marker follow from the
// blocks added.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "recorder/StreamFormat.h"

namespace recgen {

class GroupBuilder {
 public:
  explicit GroupBuilder(const recorder::GroupHeader& header) : header_(header) {}

  void AddBlock(uint16_t type, std::span<const uint8_t> payload);

  // The whole group. Throws when more blocks were added than a group can count.
  std::vector<uint8_t> Finish() const;

 private:
  recorder::GroupHeader header_;
  std::vector<uint8_t> blocks_;
  int blockCount_ = 0;
  int audioBlocks_ = 0;
};

}  // namespace recgen
