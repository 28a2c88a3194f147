#include "recorder/GroupAssembler.h"

#include <algorithm>

namespace recorder {
namespace {

// A group start is told by its first 8 bytes; fewer than that at the end of the buffer
// might still become one.
constexpr size_t kGroupStartProbe = 8;

}  // namespace

void GroupAssembler::Append(ByteSpan bytes) {
  Compact();
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

std::optional<GroupView> GroupAssembler::Next() {
  Compact();
  while (Buffered() > 0) {
    const uint8_t* start = bytes_.data() + consumed_;
    const size_t available = Buffered();
    if (!IsGroupStart(start, available)) {
      if (available < kGroupStartProbe) return std::nullopt;
      Skip(1);
      continue;
    }
    GroupView group;
    switch (ParseGroup(start, start + available, group)) {
      case ParseResult::Complete:
        consumed_ += group.Size();
        lookahead_ = 0;
        return group;
      case ParseResult::Incomplete:
        if (available <= maxGroupSize_ && !GroupFollows(available)) return std::nullopt;
        Skip(1);
        break;
      case ParseResult::Invalid:
        Skip(1);
        break;
    }
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

// Whether a complete group with at least one block starts behind the incomplete group at
// consumed_. Positions already judged are not scanned again as more bytes arrive; the search
// stops at the first group start that cannot be judged yet.
bool GroupAssembler::GroupFollows(size_t available) {
  const uint8_t* start = bytes_.data() + consumed_;
  const uint8_t* end = start + available;
  for (lookahead_ = std::max<size_t>(lookahead_, 1); lookahead_ < available; ++lookahead_) {
    const uint8_t* p = start + lookahead_;
    if (!IsGroupStart(p, available - lookahead_)) {
      if (available - lookahead_ < kGroupStartProbe) return false;
      continue;
    }
    GroupView group;
    const ParseResult result = ParseGroup(p, end, group);
    if (result == ParseResult::Incomplete) return false;
    if (result == ParseResult::Complete && group.header.BlockCount() > 0) return true;
  }
  return false;
}

void GroupAssembler::Compact() {
  if (consumed_ == 0) return;
  bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<ptrdiff_t>(consumed_));
  consumed_ = 0;
}

}  // namespace recorder
