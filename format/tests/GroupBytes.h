// Groups built by hand for the format's tests, serialised with the format layer: a
// GroupHeader whose second word is not a start code, then blocks whose payload bytes count
// 0, 1, 2, ... (so no start code 01 00 00 00 ever appears inside a payload).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "recorder/StreamFormat.h"

namespace recorder::testing {

inline void Append(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

inline void AppendBlock(std::vector<uint8_t>& out, uint16_t type, uint32_t length) {
  BlockHeader block;
  block.type = type;
  block.length = length;
  Append(out, Serialize(block));
  for (uint32_t i = 0; i < length; ++i) out.push_back(static_cast<uint8_t>(i));
}

// A group of blocks of the given types with `length` payload bytes each. `countWord`, when
// not 0, is written as the block count word instead of the number of types.
inline std::vector<uint8_t> MakeGroup(const std::vector<uint16_t>& types, uint32_t countWord = 0,
                                      uint32_t length = 10) {
  GroupHeader header;
  header.startCode = kGroupStartCode;
  header.word4 = 0x1000;
  header.blockCountWord = countWord ? countWord : static_cast<uint32_t>(types.size());
  header.frameRateCode = kFrameRateBase + 25;
  std::vector<uint8_t> out;
  Append(out, Serialize(header));
  for (uint16_t type : types) AppendBlock(out, type, length);
  return out;
}

}  // namespace recorder::testing
