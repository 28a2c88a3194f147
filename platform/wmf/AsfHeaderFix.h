// Mends the ASF header the muxer wrote so that the file's description sits in the Content
// Description Object, where every ASF reader looks for it. The muxer files a "comment" only
// in the Extended Content Description Object (under the name "Description") and leaves the
// Content Description Object's description empty.
//
// The mend moves that entry's text into the Content Description Object and fills the bytes
// it frees with a Padding Object, so the header keeps its size and nothing after it moves.
#pragma once

#include <cstdint>
#include <vector>

enum class HeaderFix {
  kMended,       // the description now sits in the Content Description Object
  kNothingToDo,  // no description entry, or the object already has a description
  kMalformed,    // the bytes are not a header this mend understands; left unchanged
};

// `header` holds the whole Header Object (its size field must equal header.size()).
HeaderFix MoveDescriptionIntoContentDescription(std::vector<uint8_t>& header);

// The size of the Header Object at the start of `bytes` (at least its first 24 bytes), or 0
// if they do not start one.
uint64_t AsfHeaderSize(const std::vector<uint8_t>& bytes);
