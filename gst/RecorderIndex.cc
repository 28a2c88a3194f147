#include "RecorderIndex.h"

#include <algorithm>
#include <utility>

namespace recastgst {

const IndexEntry* RecorderIndex::KeyBefore(int64_t time) const {
  const IndexEntry* found = nullptr;
  for (const IndexEntry& entry : entries_) {
    if (!entry.key) continue;
    if (found && entry.time > time) break;
    found = &entry;
    if (entry.time > time) break;
  }
  return found;
}

const IndexEntry* RecorderIndex::KeyAfter(int64_t time) const {
  const auto it = std::find_if(entries_.begin(), entries_.end(), [&](const IndexEntry& entry) {
    return entry.key && entry.time >= time;
  });
  return it == entries_.end() ? nullptr : &*it;
}

const IndexEntry* RecorderIndex::KeyNearest(int64_t time) const {
  const IndexEntry* before = KeyBefore(time);
  const IndexEntry* after = KeyAfter(time);
  if (!before || !after) return before ? before : after;
  return time - before->time <= after->time - time ? before : after;
}

IndexBuilder::IndexBuilder(uint16_t systemType, uint64_t firstGroupOffset)
    : timing_(systemType), systemType_(systemType) {
  scanner_.Restart(firstGroupOffset);
}

void IndexBuilder::Feed(recorder::ByteSpan bytes) {
  scanner_.Push(bytes);
  while (const std::optional<recorder::StreamGroup> group = scanner_.Next()) Take(*group);
}

void IndexBuilder::Take(const recorder::StreamGroup& group) {
  vendor::GroupTimes times;
  if (!timing_.Accept(group.view, group.afterDamage, times)) return;
  const bool key = vendor::GroupTiming::MayResumeAt(group.view.header, systemType_);
  index_.entries_.push_back({group.offset, times.Start(), key});
  index_.duration_ = std::max({index_.duration_, times.VideoEnd(), times.AudioEnd()});
}

RecorderIndex IndexBuilder::Finish() { return std::move(index_); }

}  // namespace recastgst
