// GroupAssembler: turns a recorder group stream cut anywhere back into whole groups, with the
// group scanner. Bytes that do not belong to a group (damage, a FileHeader repeated in the
// stream) are skipped up to the next group start. A group still waiting for bytes is taken for damage (a length
// the damage made larger) once a complete group with blocks shows up behind its start, or
// once it claims more than any group may hold; so a bad length neither stalls the stream nor
// grows the buffer without end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "recorder/StreamFormat.h"

namespace recorder {

class GroupAssembler {
 public:
  explicit GroupAssembler(size_t maxGroupSize) : maxGroupSize_(maxGroupSize) {}

  void Append(ByteSpan bytes);

  // The next complete group, or nothing until more bytes arrive. The view points into the
  // assembler and stays valid until the next call of any method.
  [[nodiscard]] std::optional<GroupView> Next();

  void Reset();

  size_t Buffered() const { return bytes_.size() - consumed_; }
  uint64_t SkippedBytes() const { return skipped_; }

 private:
  void Skip(size_t count);
  void Compact();
  bool GroupFollows(ByteSpan pending);

  size_t maxGroupSize_;
  std::vector<uint8_t> bytes_;
  size_t consumed_ = 0;  // bytes at the front already returned or skipped
  // Behind an incomplete group at consumed_: where the search for a later group goes on,
  // relative to consumed_ (0: not started).
  size_t lookahead_ = 0;
  uint64_t skipped_ = 0;
};

}  // namespace recorder
