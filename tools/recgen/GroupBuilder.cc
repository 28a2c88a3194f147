#include "GroupBuilder.h"

#include <algorithm>
#include <stdexcept>

#include "StreamLayout.h"

namespace recgen {

namespace {
constexpr int kMaxBlocks = 255;  // the block count is the header's low byte
}

void GroupBuilder::AddBlock(uint16_t type, std::span<const uint8_t> payload) {
  recorder::BlockHeader block;
  block.type = type;
  block.length = static_cast<uint32_t>(payload.size());
  const auto header = recorder::Serialize(block);
  blocks_.insert(blocks_.end(), header.begin(), header.end());
  blocks_.insert(blocks_.end(), payload.begin(), payload.end());
  ++blockCount_;
  if (recorder::IsAudioBlockType(type)) ++audioBlocks_;
}

std::vector<uint8_t> GroupBuilder::Finish() const {
  if (blockCount_ > kMaxBlocks) throw std::runtime_error("a group cannot hold more than 255 blocks");
  recorder::GroupHeader header = header_;
  header.blockCountWord = static_cast<uint32_t>(blockCount_);
  header.audioWord = audioBlocks_ > 0 ? kAudioWordPresent : kAudioWordNone;
  const auto head = recorder::Serialize(header);
  std::vector<uint8_t> group(head.size() + blocks_.size());
  std::copy(head.begin(), head.end(), group.begin());
  std::copy(blocks_.begin(), blocks_.end(), group.begin() + static_cast<std::ptrdiff_t>(head.size()));
  return group;
}

}  // namespace recgen
