// The group scanner: how every reader of a recorder group stream (the stream reassembler, the
// file source, the network source's first-group probe) finds groups in bytes of unknown
// quality. Resynchronisation after damage lives here once, so a fix to it lands for all of
// them. The splitter's parser follows rules of its own (where it may resume, what it does
// with a group cut between samples) and does not use it.
//
// A scan is two questions about a buffer:
//  - FindGroupStart: where is the next place a group may start?
//  - ScanGroup: what do the bytes at the start of the buffer hold? A whole group (Group), the
//    beginning of one whose remaining bytes have not arrived (NeedMore), or no group at all
//    (Invalid), in which case the caller moves on to FindGroupStart(bytes, 1).
// What to do with a group that keeps asking for more (give up after a size limit, after the
// end of a file, or once a later group shows it was damage) is the caller's policy.
#pragma once

#include <cstddef>

#include "recorder/StreamFormat.h"

namespace recorder {

// A group start is told by its first 8 bytes: the start code and a second word that is not
// also a start code. Fewer bytes than this at the end of a buffer may still become one.
constexpr size_t kGroupStartProbe = 8;

enum class ScanStatus { NeedMore, Group, Invalid };

struct GroupScan {
  ScanStatus status = ScanStatus::NeedMore;
  GroupView group;    // Group: the complete group, pointing into the scanned bytes
  size_t needed = 0;  // NeedMore: the size the bytes seen so far call for at least
};

// The first offset at or after `from` where a group may start: one that IsGroupStart, or one
// with fewer than kGroupStartProbe bytes behind it, which more bytes may still turn into a
// start. bytes.size() when `from` is at or beyond the end.
[[nodiscard]] size_t FindGroupStart(ByteSpan bytes, size_t from);

// What the bytes at the start of `bytes` hold. NeedMore for fewer than kGroupStartProbe bytes
// that are not yet a group start, and for a group start whose blocks are not all there;
// Invalid for bytes that start no group or a group with a block of unknown type.
[[nodiscard]] GroupScan ScanGroup(ByteSpan bytes);

}  // namespace recorder
