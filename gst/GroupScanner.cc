#include "GroupScanner.h"

namespace recastgst {

void GroupScanner::Restart(uint64_t offset) {
  assembler_.Reset();
  end_ = offset;
  skippedSeen_ = assembler_.SkippedBytes();
}

void GroupScanner::Push(recorder::ByteSpan bytes) {
  assembler_.Append(bytes);
  end_ += bytes.size();
}

std::optional<ScannedGroup> GroupScanner::Next() {
  const std::optional<recorder::GroupView> view = assembler_.Next();
  if (!view) return std::nullopt;
  ScannedGroup group;
  group.view = *view;
  // What the assembler still holds lies behind the group just handed out.
  group.offset = end_ - assembler_.Buffered() - view->Size();
  group.afterDamage = assembler_.SkippedBytes() != skippedSeen_;
  skippedSeen_ = assembler_.SkippedBytes();
  return group;
}

}  // namespace recastgst
