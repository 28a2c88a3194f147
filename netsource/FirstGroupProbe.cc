#include "FirstGroupProbe.h"

#include <algorithm>

#include "recorder/ByteOrder.h"
#include "recorder/GroupScanner.h"

namespace netsource {
namespace {

// How much of a GroupHeader must lie in the block for the probe to read it.
constexpr size_t kProbePrefix = 24;
constexpr size_t kWord4Offset = 4;
constexpr size_t kAudioWordOffset = 12;
constexpr size_t kGroupWidthOffset = 20;
constexpr size_t kGroupHeightOffset = 22;
constexpr size_t kGroupResolutionOffset = 20;
// Audio words of the groups a recorder starts its streams with.
constexpr uint32_t kAudioWordNone = 0x1000;
constexpr uint32_t kAudioWordAudio = 0x1001;
// FileHeader fields the probe writes.
constexpr size_t kHeaderVersionOffset = 8;
constexpr size_t kHeaderWidthOffset = 28;
constexpr size_t kHeaderHeightOffset = 30;
constexpr size_t kHeaderResolutionOffset = 28;

// Callers have checked that kProbePrefix bytes are there, so the reads below cannot fail.
uint32_t Word(recorder::ByteSpan bytes, size_t offset) {
  return recorder::rl32(bytes, offset).value_or(0);
}
uint16_t Half(recorder::ByteSpan bytes, size_t offset) {
  return recorder::rl16(bytes, offset).value_or(0);
}

bool IsProbeMatch(recorder::ByteSpan group) {
  const uint32_t audioWord = Word(group, kAudioWordOffset);
  return Word(group, 0) == recorder::kGroupStartCode && Word(group, kWord4Offset) != 1 &&
         (audioWord == kAudioWordNone || audioWord == kAudioWordAudio);
}

void CompleteHeader(recorder::ByteSpan group, HeaderBytes& header, SizeRule rule) {
  uint8_t* h = header.data();
  if (Word(header, kHeaderVersionOffset) < recorder::kVersionExplicitSize) {
    recorder::wl32(h + kHeaderResolutionOffset, Word(group, kGroupResolutionOffset));
    return;
  }
  uint16_t width = Half(group, kGroupWidthOffset);
  uint16_t height = Half(group, kGroupHeightOffset);
  if (rule == SizeRule::Smaller) {
    width = std::min(width, Half(header, kHeaderWidthOffset));
    height = std::min(height, Half(header, kHeaderHeightOffset));
  }
  recorder::wl16(h + kHeaderWidthOffset, width);
  recorder::wl16(h + kHeaderHeightOffset, height);
}

}  // namespace

bool ProbeFirstGroup(const uint8_t* block, size_t length, HeaderBytes& header, SizeRule rule) {
  if (!block || length < kProbePrefix) return false;
  // The shared scanner proposes the places a group may start; the probe then asks for more
  // than a start: its header prefix in this block and an audio word a stream begins with.
  const recorder::ByteSpan bytes(block, length);
  for (size_t p = recorder::FindGroupStart(bytes, 0); p + kProbePrefix <= length;
       p = recorder::FindGroupStart(bytes, p + 1)) {
    const recorder::ByteSpan group(block + p, kProbePrefix);
    if (IsProbeMatch(group)) {
      CompleteHeader(group, header, rule);
      return true;
    }
  }
  return false;
}

}  // namespace netsource
