#include "recorder/GroupAssembler.h"

#include <algorithm>

#include "recorder/GroupScanner.h"

namespace recorder {

void GroupAssembler::Append(ByteSpan bytes) {
  Compact();
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

std::optional<GroupView> GroupAssembler::Next() {
  Compact();
  while (Buffered() > 0) {
    const ByteSpan pending(bytes_.data() + consumed_, Buffered());
    const GroupScan scan = ScanGroup(pending);
    if (scan.status == ScanStatus::Group) {
      consumed_ += scan.group.Size();
      lookahead_ = 0;
      return scan.group;
    }
    if (scan.status == ScanStatus::NeedMore && pending.size() <= maxGroupSize_ &&
        !GroupFollows(pending))
      return std::nullopt;
    Skip(FindGroupStart(pending, 1));
  }
  return std::nullopt;
}

void GroupAssembler::Reset() {
  bytes_.clear();
  consumed_ = 0;
  lookahead_ = 0;
}

void GroupAssembler::Skip(size_t count) {
  consumed_ += count;
  skipped_ += count;
  lookahead_ = 0;
}

// Whether a complete group with at least one block starts behind the incomplete group at the
// front of `pending`. Positions already judged are not scanned again as more bytes arrive;
// the search stops at the first group start that cannot be judged yet.
bool GroupAssembler::GroupFollows(ByteSpan pending) {
  for (lookahead_ = FindGroupStart(pending, std::max<size_t>(lookahead_, 1));
       lookahead_ < pending.size(); lookahead_ = FindGroupStart(pending, lookahead_ + 1)) {
    const GroupScan scan = ScanGroup(pending.subspan(lookahead_));
    if (scan.status == ScanStatus::NeedMore) return false;
    if (scan.status == ScanStatus::Group && scan.group.header.BlockCount() > 0) return true;
  }
  return false;
}

void GroupAssembler::Compact() {
  if (consumed_ == 0) return;
  bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<ptrdiff_t>(consumed_));
  consumed_ = 0;
}

}  // namespace recorder
