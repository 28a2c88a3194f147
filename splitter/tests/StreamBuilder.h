// Builds recorder streams for the splitter's tests, fuzzer and benchmark: a FileHeader and
// groups of blocks serialised with the format layer. Payload bytes follow a pattern that
// never holds 01, so no group start can appear inside a payload by chance.
#pragma once

#include <cstdint>
#include <vector>

#include "recorder/StreamFormat.h"

namespace splitter::testing {

struct BlockSpec {
  uint16_t type = recorder::kBlockVideo1;
  uint32_t length = 0;
};

struct GroupSpec {
  uint32_t frameType = recorder::kFrameTypeKey;
  uint32_t audioWord = 0;  // non-zero low bits: the group carries audio
  uint32_t frameRateCode = recorder::kFrameRateBase + 25;
  std::vector<BlockSpec> blocks;
};

// A group of `videoBlocks` video blocks of `videoLength` bytes, preceded by `audioBlocks`
// audio blocks of `audioLength` bytes (the audio word says so).
GroupSpec MakeGroupSpec(uint32_t frameType, int audioBlocks, uint32_t audioLength,
                        int videoBlocks, uint32_t videoLength);

recorder::FileHeader MakeFileHeader(uint16_t systemType, uint32_t audioCodec);

class StreamBuilder {
 public:
  // Appends a group; returns its offset in the stream.
  size_t AddGroup(const GroupSpec& fields);
  // Appends raw bytes (garbage, damage).
  void AddBytes(const std::vector<uint8_t>& bytes);

  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  std::vector<uint8_t>& MutableBytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  uint32_t pattern_ = 0;  // advances through every payload byte written
};

}  // namespace splitter::testing
