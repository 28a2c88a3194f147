#include "GroupAssembler.h"

namespace vidora {
namespace {

// A group start is told by its first 8 bytes; fewer than that at the end of the buffer
// might still become one.
constexpr size_t kGroupStartProbe = 8;

}  // namespace

void GroupAssembler::Append(recorder::ByteSpan bytes) {
  Compact();
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

std::optional<recorder::GroupView> GroupAssembler::Next() {
  Compact();
  while (Buffered() > 0) {
    const uint8_t* start = bytes_.data() + consumed_;
    const size_t available = Buffered();
    if (!recorder::IsGroupStart(start, available)) {
      if (available < kGroupStartProbe) return std::nullopt;
      Skip(1);
      continue;
    }
    recorder::GroupView group;
    switch (recorder::ParseGroup(start, start + available, group)) {
      case recorder::ParseResult::Complete:
        consumed_ += group.Size();
        return group;
      case recorder::ParseResult::Incomplete:
        if (available <= maxGroupSize_) return std::nullopt;
        Skip(1);
        break;
      case recorder::ParseResult::Invalid:
        Skip(1);
        break;
    }
  }
  return std::nullopt;
}

void GroupAssembler::Reset() {
  bytes_.clear();
  consumed_ = 0;
}

void GroupAssembler::Skip(size_t count) {
  consumed_ += count;
  skipped_ += count;
}

void GroupAssembler::Compact() {
  if (consumed_ == 0) return;
  bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<ptrdiff_t>(consumed_));
  consumed_ = 0;
}

}  // namespace vidora
