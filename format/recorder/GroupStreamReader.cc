#include "recorder/GroupStreamReader.h"

namespace recorder {

void GroupStreamReader::Restart(uint64_t offset) {
  assembler_.Reset();
  end_ = offset;
  skippedSeen_ = assembler_.SkippedBytes();
}

void GroupStreamReader::Push(ByteSpan bytes) {
  assembler_.Append(bytes);
  end_ += bytes.size();
}

std::optional<StreamGroup> GroupStreamReader::Next() {
  const std::optional<GroupView> view = assembler_.Next();
  if (!view) return std::nullopt;
  StreamGroup group;
  group.view = *view;
  // What the assembler still holds lies behind the group just handed out.
  group.offset = end_ - assembler_.Buffered() - view->Size();
  group.afterDamage = assembler_.SkippedBytes() != skippedSeen_;
  skippedSeen_ = assembler_.SkippedBytes();
  return group;
}

}  // namespace recorder
