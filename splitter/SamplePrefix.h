// The layouts the splitter writes at the start of its output samples. The decoders
// downstream read them, so every offset and value here is fixed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "recorder/ByteOrder.h"
#include "recorder/StreamFormat.h"

namespace splitter {

// AudioSamplePrefix: the block type as a u32 at offset 0; bytes 4 to 15 are left as the
// allocator gave them. The audio payload follows at offset 16.
constexpr size_t kAudioSamplePrefixSize = 16;
constexpr uint32_t kSilenceBlockType = recorder::kBlockAudio2;  // type word of silence samples

inline void WriteAudioSamplePrefix(uint8_t* sample, uint32_t blockType) {
  recorder::wl32(sample, blockType);
}

// VideoSamplePrefix: eight u32 words, then all video blocks of the group (header and payload
// each) back to back. Every sample of a group carries the same bytes except `index`.
constexpr size_t kVideoSamplePrefixSize = 32;
constexpr uint32_t kVideoPrefixLastWord = 1;  // the decoder expects 1 in the last word

struct VideoSamplePrefix {
  uint32_t blockCount = 0;       // video blocks in the group
  uint32_t index = 0;            // 1-based index of this sample within the group
  uint32_t frameType = 0;        // the GroupHeader words the decoder needs
  uint32_t groupWord32 = 0;
  uint32_t groupWord36 = 0;
  uint32_t groupWord40 = 0;
  uint32_t framesPerSecond = 0;  // frameRateCode - kFrameRateBase, as the decoder reads it

  static VideoSamplePrefix ForGroup(const recorder::GroupHeader& header, uint32_t blockCount) {
    return {blockCount,          0,
            header.frameType,    header.groupWord32,
            header.groupWord36,  header.groupWord40,
            header.frameRateCode - recorder::kFrameRateBase};
  }

  void WriteTo(uint8_t* sample) const {
    const uint32_t words[] = {blockCount,  index,       frameType,       groupWord32,
                              groupWord36, groupWord40, framesPerSecond, kVideoPrefixLastWord};
    for (size_t i = 0; i < std::size(words); ++i) recorder::wl32(sample + 4 * i, words[i]);
  }
};
static_assert(8 * sizeof(uint32_t) == kVideoSamplePrefixSize);

}  // namespace splitter
