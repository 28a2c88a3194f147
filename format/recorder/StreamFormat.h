// The recorder stream format: a 40-byte FileHeader, then groups. A group is a 48-byte
// GroupHeader and `blockCount` blocks; a block is a 20-byte BlockHeader and `length` bytes of
// payload. All fields are little-endian. This header is the single definition of the format
// for the whole system: layouts, code tables, parsing and the timing model.
//
// The header structs hold every field, including those nobody interprets, so that
// Parse*/Serialize round-trips the bytes exactly and headers are carried along unchanged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "recorder/ByteOrder.h"

namespace recorder {

constexpr size_t kFileHeaderSize = 40;
constexpr size_t kGroupHeaderSize = 48;
constexpr size_t kBlockHeaderSize = 20;

// Magic words: the four bytes at offset 0 of a FileHeader read as a little-endian word.
constexpr uint32_t kMagic4HLQ = 0x514C4834;  // "4HLQ": H.264 family
constexpr uint32_t kMagic4MLQ = 0x514C4D34;  // "4MLQ": MPEG-4 family
constexpr uint32_t kMagic4MSH = 0x48534D34;  // "4MSH": MPEG-4 family, second decoder subtype

// Whether a FileHeader's magic opens a recorder stream: one of the three above.
constexpr bool IsRecorderMagic(uint32_t magic) {
  return magic == kMagic4HLQ || magic == kMagic4MLQ || magic == kMagic4MSH;
}

// FileHeader.systemType: what the stream carries.
constexpr uint16_t kSystemVideo = 0x1001;
constexpr uint16_t kSystemAudio = 0x1002;
constexpr uint16_t kSystemVideoAudio = 0x1003;

// FileHeader.videoStandard; every value other than PAL counts as NTSC.
constexpr uint16_t kStandardPal = 0x1001;
constexpr uint16_t kStandardNtsc = 0x1002;

// Headers of this version or later give the picture size as two u16 words instead of a code.
constexpr uint32_t kVersionExplicitSize = 0x20040308;

// Resolution codes (FileHeader.videoResolution of old headers, GroupHeader.groupResolution).
constexpr uint32_t kResolutionCif = 0x1001;
constexpr uint32_t kResolutionQcif = 0x1002;
constexpr uint32_t kResolution4Cif = 0x1003;
constexpr uint32_t kResolutionD1 = 0x1004;
constexpr uint32_t kResolutionQqcif = 0x1005;
constexpr uint32_t kResolutionQvga = 0x1006;
constexpr uint32_t kResolution160x128 = 0x1007;
constexpr uint32_t kResolution2Cif = 0x1008;

// Audio codec codes (FileHeader.audioCodec), as they stand after normalisation.
constexpr uint32_t kAudioAdpcm = 0x1001;
constexpr uint32_t kAudioRawAdpcmAlias = 0x1003;  // normalised to kAudioG722_24
constexpr uint32_t kAudioG722_16 = 0x1011;
constexpr uint32_t kAudioG722_24 = 0x1012;
constexpr uint32_t kAudioG722_32 = 0x1013;
constexpr uint32_t kAudioG711U = 0x7110;
constexpr uint32_t kAudioG711A = 0x7111;
constexpr uint32_t kAudioG7221 = 0x7221;

// Block types.
constexpr uint16_t kBlockAudio1 = 0x1001;
constexpr uint16_t kBlockAudio2 = 0x1002;
constexpr uint16_t kBlockVideo1 = 0x1003;
constexpr uint16_t kBlockVideo2 = 0x1004;
constexpr uint16_t kBlockVideo3 = 0x1005;

// GroupHeader.frameType: the kinds a parser may resume at after losing synchronisation, and
// the kind of an ordinary (non-key) group.
constexpr uint32_t kFrameTypeKey = 0x1001;
constexpr uint32_t kFrameTypeResume = 0x1002;
constexpr uint32_t kFrameTypeOther = 0x1003;

constexpr uint32_t kGroupStartCode = 1;
constexpr uint32_t kFrameRateBase = 0x1000;  // frameRateCode = kFrameRateBase + frames per second

// Timing, in 100 ns units.
constexpr int64_t kUnitsPerSecond = 10'000'000;
constexpr int64_t kAudioBlockDuration = 400'000;  // every audio block is 40 ms of sound

struct FileHeader {
  uint32_t magic = 0;
  uint32_t word4 = 0;  // not interpreted
  uint32_t version = 0;
  uint32_t word12 = 0;  // not interpreted
  uint16_t systemType = 0;
  uint16_t videoStandard = 0;
  uint16_t audioChannels = 0;  // low byte significant
  uint16_t audioBitsPerSample = 0;
  uint32_t audioSampleRate = 0;
  uint32_t videoResolution = 0;  // code, or width (low u16) and height (high u16)
  uint32_t audioCodec = 0;
  uint32_t word36 = 0;  // not interpreted

  bool operator==(const FileHeader&) const = default;
};

struct GroupHeader {
  uint32_t startCode = 0;
  uint32_t word4 = 0;  // never 1 in a real group start
  uint32_t word8 = 0;
  uint32_t audioWord = 0;
  uint32_t blockCountWord = 0;  // low byte is the block count
  uint32_t groupResolution = 0;
  uint32_t frameType = 0;
  uint32_t frameRateCode = 0;
  uint32_t groupWord32 = 0;
  uint32_t groupWord36 = 0;
  uint32_t groupWord40 = 0;
  uint32_t word44 = 0;

  uint8_t BlockCount() const { return static_cast<uint8_t>(blockCountWord & 0xFF); }
  bool HasAudio() const { return (audioWord & 0xF) != 0; }
  bool IsResumePoint() const {
    return frameType == kFrameTypeKey || frameType == kFrameTypeResume;
  }
  bool operator==(const GroupHeader&) const = default;
};

struct BlockHeader {
  uint16_t type = 0;
  std::array<uint8_t, 14> opaque{};  // carried unchanged into video samples
  uint32_t length = 0;

  bool operator==(const BlockHeader&) const = default;
};

[[nodiscard]] std::optional<FileHeader> ParseFileHeader(ByteSpan bytes);
[[nodiscard]] std::optional<GroupHeader> ParseGroupHeader(ByteSpan bytes);
[[nodiscard]] std::optional<BlockHeader> ParseBlockHeader(ByteSpan bytes);
std::array<uint8_t, kFileHeaderSize> Serialize(const FileHeader& header);
std::array<uint8_t, kGroupHeaderSize> Serialize(const GroupHeader& header);
std::array<uint8_t, kBlockHeaderSize> Serialize(const BlockHeader& header);

bool IsAudioBlockType(uint16_t type);
bool IsVideoBlockType(uint16_t type);

// ---- Views: parsed units described by pointers into the scanned bytes --------------------

struct BlockView {
  const uint8_t* start = nullptr;    // the BlockHeader
  const uint8_t* payload = nullptr;  // start + 20
  const uint8_t* end = nullptr;      // payload + length
  uint16_t type = 0;

  size_t PayloadSize() const { return static_cast<size_t>(end - payload); }
  size_t Size() const { return static_cast<size_t>(end - start); }
};

struct GroupView {
  const uint8_t* start = nullptr;       // the GroupHeader
  const uint8_t* firstBlock = nullptr;  // start + 48
  const uint8_t* end = nullptr;         // end of the last block
  GroupHeader header;

  size_t Size() const { return static_cast<size_t>(end - start); }
};

enum class ParseResult : int { Complete = 0, Incomplete = 1, Invalid = 2 };

// Parses the block at `cursor`. A bad type is traced and Invalid; a block running beyond
// `end` (including a length too large to represent) is Incomplete.
[[nodiscard]] ParseResult ParseBlock(const uint8_t* cursor, const uint8_t* end, BlockView& out);

// Parses a whole group: Complete only when all of its blocks are present.
// When it is Incomplete and `needed` is given, *needed is the group size that the bytes seen so
// far call for at least: the result cannot change before that many bytes are there.
[[nodiscard]] ParseResult ParseGroup(const uint8_t* start, const uint8_t* end, GroupView& out,
                                     size_t* needed = nullptr);

// A group starts where the word is 1 and the next word is not 1. With 5 to 7 bytes only the
// first word can be tested; fewer than 5 bytes are never a group start.
[[nodiscard]] bool IsGroupStart(const uint8_t* p, size_t available);

// Whether the bytes at p can still turn out to be a group start once more bytes arrive: with
// fewer than 5 bytes, whether they begin the start code (01, 01 00, 01 00 00, 01 00 00 00);
// with 5 or more, IsGroupStart. A stream cut just after such a prefix keeps it for the next cut.
[[nodiscard]] bool CouldBeGroupStart(const uint8_t* p, size_t available);

// ---- Stream parameters ----------------------------------------------------------------

struct PictureSize {
  int width = 0;
  int height = 0;
  bool operator==(const PictureSize&) const = default;
};

// The picture size a resolution code stands for under a video standard.
PictureSize ResolutionFromCode(uint32_t code, uint16_t videoStandard);

uint32_t NormaliseAudioCodec(uint32_t audioCodec);

struct StreamParams {
  PictureSize size;
  uint32_t audioCodec = 0;  // normalised
};
StreamParams DeriveStreamParams(const FileHeader& header);

// How the splitter presents each normalised audio codec.
enum class AudioSubtype { None, G722, G711 };
struct AudioCodecInfo {
  AudioSubtype subtype = AudioSubtype::None;
  size_t silenceLength = 0;       // payload of a silence sample
  const char* traceName = nullptr;  // "audio_adpcm", ...; nullptr for unnamed codings
  int traceBlockSize = 0;         // the block size the trace text names
};
AudioCodecInfo DescribeAudioCodec(uint32_t normalisedCodec);

// ---- Blocks of a complete group -------------------------------------------------------

// Walks the blocks of a complete group in order; `visit(const BlockView&)` returns true to stop.
template <typename Visit>
void ForEachBlock(const GroupView& group, Visit visit) {
  const uint8_t* cursor = group.firstBlock;
  while (cursor < group.end) {
    BlockView block;
    if (ParseBlock(cursor, group.end, block) != ParseResult::Complete) return;
    if (visit(block)) return;
    cursor = block.end;
  }
}

struct BlockCounts {
  int audio = 0;
  int video = 0;
};
BlockCounts CountBlocks(const GroupView& group);

// The n-th (0-based) audio or video block of a complete group, in group order.
[[nodiscard]] std::optional<BlockView> NthAudioBlock(const GroupView& group, int n);
[[nodiscard]] std::optional<BlockView> NthVideoBlock(const GroupView& group, int n);

// ---- Timing -----------------------------------------------------------------------------

// Frame duration of a group in 100 ns units. A code at or below 0x1000 names no rate; the
// group then keeps `previous`, the frame duration of the group before it.
int64_t FrameDuration(uint32_t frameRateCode, int64_t previous);

}  // namespace recorder
