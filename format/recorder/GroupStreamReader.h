// GroupStreamReader: the complete groups of a recorder group stream, each with its byte offset
// in the stream and whether damage was skipped before it. The bytes may arrive cut anywhere (a
// network stream, a file pulled in chunks); the group assembler finds the groups and skips
// what is not one, so this reader adds only the positions.
#pragma once

#include <cstdint>
#include <optional>

#include "recorder/GroupAssembler.h"

namespace recorder {

struct StreamGroup {
  GroupView view;            // valid until the next call of any reader method
  uint64_t offset = 0;       // of the GroupHeader in the stream
  bool afterDamage = false;  // bytes were skipped since the previous group (or the restart)
};

class GroupStreamReader {
 public:
  // The largest group accepted; a longer claim is taken for a damaged length.
  static constexpr size_t kMaxGroupSize = 4 << 20;

  // Forgets every byte held; the next byte pushed stands at `offset` in the stream.
  void Restart(uint64_t offset);

  void Push(ByteSpan bytes);

  // The next complete group, or nothing until more bytes arrive.
  [[nodiscard]] std::optional<StreamGroup> Next();

  // Where the next pushed byte goes.
  uint64_t EndOffset() const { return end_; }

 private:
  GroupAssembler assembler_{kMaxGroupSize};
  uint64_t end_ = 0;
  uint64_t skippedSeen_ = 0;  // the assembler's skip count when the last group left
};

}  // namespace recorder
