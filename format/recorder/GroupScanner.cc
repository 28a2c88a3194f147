#include "recorder/GroupScanner.h"

#include <cstring>

namespace recorder {
namespace {

// Every group start begins with this byte (the low byte of the start code).
constexpr uint8_t kStartCodeFirstByte = 0x01;

}  // namespace

size_t FindGroupStart(ByteSpan bytes, size_t from) {
  if (from >= bytes.size()) return bytes.size();
  // Offsets below `probed` have a full probe behind them and can be judged now.
  const size_t probed = bytes.size() >= kGroupStartProbe ? bytes.size() - kGroupStartProbe + 1 : 0;
  size_t at = from;
  while (at < probed) {
    const void* hit = std::memchr(bytes.data() + at, kStartCodeFirstByte, probed - at);
    if (hit == nullptr) return probed;
    at = static_cast<size_t>(static_cast<const uint8_t*>(hit) - bytes.data());
    if (IsGroupStart(bytes.data() + at, bytes.size() - at)) return at;
    ++at;
  }
  return at;
}

GroupScan ScanGroup(ByteSpan bytes) {
  GroupScan scan;
  if (!IsGroupStart(bytes.data(), bytes.size())) {
    scan.status = bytes.size() < kGroupStartProbe ? ScanStatus::NeedMore : ScanStatus::Invalid;
    scan.needed = kGroupStartProbe;
    return scan;
  }
  switch (ParseGroup(bytes.data(), bytes.data() + bytes.size(), scan.group, &scan.needed)) {
    case ParseResult::Complete: scan.status = ScanStatus::Group; break;
    case ParseResult::Incomplete: scan.status = ScanStatus::NeedMore; break;
    case ParseResult::Invalid: scan.status = ScanStatus::Invalid; break;
  }
  return scan;
}

}  // namespace recorder
