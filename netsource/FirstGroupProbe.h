// The first-group probe: finds the first group start in a block of stream data and completes
// the stream's FileHeader copy with the group's picture size, which recorders leave out of
// the header they send first.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "recorder/StreamFormat.h"

namespace netsource {

using HeaderBytes = std::array<uint8_t, recorder::kFileHeaderSize>;

enum class SizeRule {
  TakeGroup,  // the group's size replaces the header's
  Smaller,    // each of width and height becomes the smaller of the two (a live sub-stream)
};

// Looks for a group start in `block` (start code 1, the next word not 1, audio word 0x1000
// or 0x1001, with a 24-byte prefix inside the block); at the first one, completes `header`
// and returns true. A block without one leaves the header alone.
bool ProbeFirstGroup(const uint8_t* block, size_t length, HeaderBytes& header, SizeRule rule);

}  // namespace netsource
