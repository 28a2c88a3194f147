// RecorderIndex: the groups of a recorder file that playback delivers, learnt by reading the
// file once from end to end the way playback will (same scanner, same timing rules): each
// group's offset, its start time from the file's start and whether decoding may resume there,
// and the duration of the whole file. Seeking picks a key group from it.
#pragma once

#include <cstdint>
#include <vector>

#include "recorder/GroupStreamReader.h"
#include "GroupTiming.h"

namespace recastgst {

struct IndexEntry {
  uint64_t offset = 0;  // of the GroupHeader in the file
  int64_t time = 0;     // 100 ns units from the file's start
  bool key = false;     // playback may start here
};

class RecorderIndex {
 public:
  const std::vector<IndexEntry>& Entries() const { return entries_; }
  bool Empty() const { return entries_.empty(); }
  // The end of the last sample, 100 ns units.
  int64_t Duration() const { return duration_; }

  // The last key group starting at or before `time` (the first key group when none does),
  // the first key group at or after it, and whichever of the two is nearer; nullptr when the
  // file has no key group (or none after `time`).
  const IndexEntry* KeyBefore(int64_t time) const;
  const IndexEntry* KeyAfter(int64_t time) const;
  const IndexEntry* KeyNearest(int64_t time) const;

 private:
  friend class IndexBuilder;
  std::vector<IndexEntry> entries_;
  int64_t duration_ = 0;
};

// Builds an index from the file's bytes after its FileHeader, fed in order in pieces of any
// size.
class IndexBuilder {
 public:
  IndexBuilder(uint16_t systemType, uint64_t firstGroupOffset);

  void Feed(recorder::ByteSpan bytes);
  RecorderIndex Finish();

 private:
  void Take(const recorder::StreamGroup& group);

  recorder::GroupStreamReader scanner_;
  vendor::GroupTiming timing_;
  const uint16_t systemType_;
  RecorderIndex index_;
};

}  // namespace recastgst
