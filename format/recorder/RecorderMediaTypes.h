// The media types of the elementary streams cut from recorder streams (their identifiers are
// public: include/recorder/RecorderGuids.h) and the layouts at the start of every video and audio sample. Whoever
// cuts a recorder stream into samples (the network splitter, the file source) writes these;
// the recorder decoders read them. Every offset and value here is fixed by what those
// decoders expect.
//
// Format blocks are built as raw bytes (little-endian, the platform's struct layouts), so this
// header needs no filter base classes; a pin copies them into its media type.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "recorder/ByteOrder.h"
#include "recorder/RecorderGuids.h"
#include "recorder/StreamFormat.h"

namespace recorder {

// ---- Subtypes -----------------------------------------------------------------------------

// The video subtype a FileHeader magic stands for; nothing for magics no decoder knows.
inline std::optional<GUID> VideoSubtypeForMagic(uint32_t magic) {
  switch (magic) {
    case kMagic4HLQ:
    case kMagic4MLQ: return MEDIASUBTYPE_RecorderVideo;
    case kMagic4MSH: return MEDIASUBTYPE_RecorderVideo2;
    default: return std::nullopt;
  }
}

// The audio subtype of a normalised audio codec; nothing for codings without one (ADPCM).
inline std::optional<GUID> AudioSubtypeForCodec(uint32_t normalisedCodec) {
  switch (DescribeAudioCodec(normalisedCodec).subtype) {
    case AudioSubtype::G722: return MEDIASUBTYPE_RecorderAudioG722;
    case AudioSubtype::G711: return MEDIASUBTYPE_RecorderAudio711;
    case AudioSubtype::None: return std::nullopt;
  }
  return std::nullopt;
}

inline bool IsRecorderVideoSubtype(const GUID& subtype) {
  return subtype == MEDIASUBTYPE_RecorderVideo || subtype == MEDIASUBTYPE_RecorderVideo2;
}

inline bool IsRecorderAudioSubtype(const GUID& subtype) {
  return subtype == MEDIASUBTYPE_RecorderAudioG722 || subtype == MEDIASUBTYPE_RecorderAudio711;
}

// ---- Format blocks --------------------------------------------------------------------------

// Video: the FileHeader, then a VIDEOINFOHEADER (88 bytes) of the header's picture size.
constexpr size_t kVideoInfoHeaderSize = 88;
constexpr size_t kVideoFormatSize = kFileHeaderSize + kVideoInfoHeaderSize;
// Audio: the FileHeader, then a WAVEFORMATEX (18 bytes) and two zero bytes.
constexpr size_t kWaveFormatExSize = 18;
constexpr size_t kAudioFormatSize = kFileHeaderSize + kWaveFormatExSize + 2;

constexpr int64_t kVideoFormatFrameTime = 400'000;  // AvgTimePerFrame the decoders are told
constexpr uint16_t kRecorderWaveFormatTag = 0x4061;
constexpr uint32_t kRecorderAudioSampleSize = 96;  // lSampleSize of the audio type

// `frameTime` is the AvgTimePerFrame written; the splitter always announces 25 fps.
std::array<uint8_t, kVideoFormatSize> BuildVideoFormat(const FileHeader& header,
                                                       int64_t frameTime = kVideoFormatFrameTime);
std::array<uint8_t, kAudioFormatSize> BuildAudioFormat(const FileHeader& header);

// The FileHeader at the start of a video or audio format block; nothing if it is too short.
inline std::optional<FileHeader> FileHeaderOfFormat(ByteSpan format) {
  if (format.size() < kFileHeaderSize) return std::nullopt;
  return ParseFileHeader(format.first(kFileHeaderSize));
}

// ---- Sample layouts -------------------------------------------------------------------------

// AudioSamplePrefix: the block type as a u32 at offset 0; bytes 4 to 15 are not written. The
// audio payload follows at offset 16.
constexpr size_t kAudioSamplePrefixSize = 16;
constexpr uint32_t kSilenceBlockType = kBlockAudio2;  // type word of silence samples

inline void WriteAudioSamplePrefix(uint8_t* sample, uint32_t blockType) {
  wl32(sample, blockType);
}

// VideoSamplePrefix: eight u32 words, then all video blocks of the group (header and payload
// each) back to back. Every sample of a group carries the same bytes except `index`.
constexpr size_t kVideoSamplePrefixSize = 32;
constexpr uint32_t kVideoPrefixLastWord = 1;  // the decoders expect 1 in the last word

struct VideoSamplePrefix {
  uint32_t blockCount = 0;  // video blocks in the group
  uint32_t index = 0;       // 1-based index of this sample's frame within the group
  uint32_t frameType = 0;   // the GroupHeader words the decoders are given
  uint32_t groupWord32 = 0;
  uint32_t groupWord36 = 0;
  uint32_t groupWord40 = 0;
  uint32_t framesPerSecond = 0;  // frameRateCode - kFrameRateBase

  static VideoSamplePrefix ForGroup(const GroupHeader& header, uint32_t blockCount) {
    return {blockCount,         0,
            header.frameType,   header.groupWord32,
            header.groupWord36, header.groupWord40,
            header.frameRateCode - kFrameRateBase};
  }

  void WriteTo(uint8_t* sample) const {
    const uint32_t words[] = {blockCount,  index,       frameType,       groupWord32,
                              groupWord36, groupWord40, framesPerSecond, kVideoPrefixLastWord};
    for (size_t i = 0; i < std::size(words); ++i) wl32(sample + 4 * i, words[i]);
  }

  // The prefix at the start of a sample; nothing if the sample is shorter than the prefix.
  [[nodiscard]] static std::optional<VideoSamplePrefix> Parse(ByteSpan sample);
};

// The frame a video sample stands for: the prefix's index-th (1-based) video block among the
// blocks after the prefix. Nothing when the index is out of range or the blocks do not parse.
[[nodiscard]] std::optional<BlockView> FrameBlockOfVideoSample(ByteSpan sample);

}  // namespace recorder
