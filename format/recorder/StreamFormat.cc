#include "recorder/StreamFormat.h"

#include <cstring>

#include "recorder/Trace.h"

namespace recorder {
namespace {

// Reads a field whose offset lies inside a span already checked to be large enough.
uint32_t Word(ByteSpan bytes, size_t offset) { return rl32(bytes, offset).value_or(0); }
uint16_t Half(ByteSpan bytes, size_t offset) { return rl16(bytes, offset).value_or(0); }

}  // namespace

std::optional<FileHeader> ParseFileHeader(ByteSpan bytes) {
  if (bytes.size() < kFileHeaderSize) return std::nullopt;
  FileHeader h;
  h.magic = Word(bytes, 0);
  h.word4 = Word(bytes, 4);
  h.version = Word(bytes, 8);
  h.word12 = Word(bytes, 12);
  h.systemType = Half(bytes, 16);
  h.videoStandard = Half(bytes, 18);
  h.audioChannels = Half(bytes, 20);
  h.audioBitsPerSample = Half(bytes, 22);
  h.audioSampleRate = Word(bytes, 24);
  h.videoResolution = Word(bytes, 28);
  h.audioCodec = Word(bytes, 32);
  h.word36 = Word(bytes, 36);
  return h;
}

std::optional<GroupHeader> ParseGroupHeader(ByteSpan bytes) {
  if (bytes.size() < kGroupHeaderSize) return std::nullopt;
  GroupHeader h;
  uint32_t* fields[] = {&h.startCode,       &h.word4,       &h.word8,       &h.audioWord,
                        &h.blockCountWord,  &h.groupResolution, &h.frameType, &h.frameRateCode,
                        &h.groupWord32,     &h.groupWord36, &h.groupWord40, &h.word44};
  for (size_t i = 0; i < std::size(fields); ++i) *fields[i] = Word(bytes, 4 * i);
  return h;
}

std::optional<BlockHeader> ParseBlockHeader(ByteSpan bytes) {
  if (bytes.size() < kBlockHeaderSize) return std::nullopt;
  BlockHeader h;
  h.type = Half(bytes, 0);
  std::memcpy(h.opaque.data(), bytes.data() + 2, h.opaque.size());
  h.length = Word(bytes, 16);
  return h;
}

std::array<uint8_t, kFileHeaderSize> Serialize(const FileHeader& h) {
  std::array<uint8_t, kFileHeaderSize> b{};
  wl32(&b[0], h.magic);
  wl32(&b[4], h.word4);
  wl32(&b[8], h.version);
  wl32(&b[12], h.word12);
  wl16(&b[16], h.systemType);
  wl16(&b[18], h.videoStandard);
  wl16(&b[20], h.audioChannels);
  wl16(&b[22], h.audioBitsPerSample);
  wl32(&b[24], h.audioSampleRate);
  wl32(&b[28], h.videoResolution);
  wl32(&b[32], h.audioCodec);
  wl32(&b[36], h.word36);
  return b;
}

std::array<uint8_t, kGroupHeaderSize> Serialize(const GroupHeader& h) {
  std::array<uint8_t, kGroupHeaderSize> b{};
  const uint32_t fields[] = {h.startCode,      h.word4,           h.word8,     h.audioWord,
                             h.blockCountWord, h.groupResolution, h.frameType, h.frameRateCode,
                             h.groupWord32,    h.groupWord36,     h.groupWord40, h.word44};
  for (size_t i = 0; i < std::size(fields); ++i) wl32(&b[4 * i], fields[i]);
  return b;
}

std::array<uint8_t, kBlockHeaderSize> Serialize(const BlockHeader& h) {
  std::array<uint8_t, kBlockHeaderSize> b{};
  wl16(&b[0], h.type);
  std::memcpy(&b[2], h.opaque.data(), h.opaque.size());
  wl32(&b[16], h.length);
  return b;
}

bool IsAudioBlockType(uint16_t type) { return type == kBlockAudio1 || type == kBlockAudio2; }
bool IsVideoBlockType(uint16_t type) { return type >= kBlockVideo1 && type <= kBlockVideo3; }

ParseResult ParseBlock(const uint8_t* cursor, const uint8_t* end, BlockView& out) {
  if (cursor > end) return ParseResult::Incomplete;
  const ByteSpan bytes(cursor, static_cast<size_t>(end - cursor));
  if (bytes.size() < kBlockHeaderSize) return ParseResult::Incomplete;
  const uint16_t type = Half(bytes, 0);
  const uint32_t length = Word(bytes, 16);
  if (!IsAudioBlockType(type) && !IsVideoBlockType(type)) {
    TraceF("Splitter : block_size = %ld %08x", static_cast<long>(length), type);
    return ParseResult::Invalid;
  }
  // Compare sizes, never form a pointer past the buffer: a huge length is simply "beyond end".
  if (length > bytes.size() - kBlockHeaderSize) return ParseResult::Incomplete;
  out.start = cursor;
  out.payload = cursor + kBlockHeaderSize;
  out.end = out.payload + length;
  out.type = type;
  return ParseResult::Complete;
}

ParseResult ParseGroup(const uint8_t* start, const uint8_t* end, GroupView& out,
                       size_t* needed) {
  const auto incomplete = [&](size_t size) {
    if (needed) *needed = size;
    return ParseResult::Incomplete;
  };
  if (start > end || static_cast<size_t>(end - start) < kGroupHeaderSize)
    return incomplete(kGroupHeaderSize);
  const auto header = ParseGroupHeader(ByteSpan(start, kGroupHeaderSize));
  if (header->startCode != kGroupStartCode) {
    Trace("GroupHeader is not valid!\n");
    return ParseResult::Invalid;
  }
  const uint8_t* cursor = start + kGroupHeaderSize;
  for (int i = 0; i < header->BlockCount(); ++i) {
    BlockView block;
    const ParseResult result = ParseBlock(cursor, end, block);
    if (result == ParseResult::Incomplete) {
      const size_t offset = static_cast<size_t>(cursor - start);
      const auto length = rl32(ByteSpan(cursor, static_cast<size_t>(end - cursor)), 16);
      return incomplete(offset + kBlockHeaderSize + length.value_or(0));
    }
    if (result != ParseResult::Complete) return result;
    cursor = block.end;
  }
  out.start = start;
  out.firstBlock = start + kGroupHeaderSize;
  out.end = cursor;
  out.header = *header;
  return ParseResult::Complete;
}

bool IsGroupStart(const uint8_t* p, size_t available) {
  if (available < 5) return false;
  const ByteSpan bytes(p, available);
  if (Word(bytes, 0) != kGroupStartCode) return false;
  return available < 8 || Word(bytes, 4) != kGroupStartCode;
}

bool CouldBeGroupStart(const uint8_t* p, size_t available) {
  if (available >= 5) return IsGroupStart(p, available);
  static constexpr uint8_t kStartCodeBytes[4] = {0x01, 0x00, 0x00, 0x00};
  return available > 0 && std::memcmp(p, kStartCodeBytes, available) == 0;
}

PictureSize ResolutionFromCode(uint32_t code, uint16_t videoStandard) {
  const bool pal = videoStandard == kStandardPal;
  switch (code) {
    case kResolutionQcif: return pal ? PictureSize{176, 144} : PictureSize{176, 128};
    case kResolution4Cif:
    case kResolutionD1: return pal ? PictureSize{704, 576} : PictureSize{704, 480};
    case kResolutionQqcif: return pal ? PictureSize{96, 80} : PictureSize{96, 64};
    case kResolutionQvga: return pal ? PictureSize{320, 288} : PictureSize{320, 240};
    case kResolution160x128: return {160, 128};
    case kResolution2Cif: return pal ? PictureSize{528, 384} : PictureSize{528, 320};
    default: return pal ? PictureSize{352, 288} : PictureSize{352, 240};
  }
}

uint32_t NormaliseAudioCodec(uint32_t audioCodec) {
  if (audioCodec == 0) return kAudioAdpcm;
  if (audioCodec == kAudioRawAdpcmAlias) return kAudioG722_24;
  return audioCodec;
}

StreamParams DeriveStreamParams(const FileHeader& header) {
  StreamParams params;
  if (header.version >= kVersionExplicitSize) {
    params.size = {static_cast<int>(header.videoResolution & 0xFFFF),
                   static_cast<int>(header.videoResolution >> 16)};
  } else {
    params.size = ResolutionFromCode(header.videoResolution, header.videoStandard);
  }
  params.audioCodec = NormaliseAudioCodec(header.audioCodec);
  return params;
}

AudioCodecInfo DescribeAudioCodec(uint32_t codec) {
  switch (codec) {
    case kAudioAdpcm: return {AudioSubtype::None, 120, "audio_adpcm", 160};
    case kAudioG722_16: return {AudioSubtype::G722, 160, "audio_g722_16", 80};
    case kAudioG722_24: return {AudioSubtype::G722, 120, "audio_g722_24", 120};
    case kAudioG722_32: return {AudioSubtype::G722, 160, "audio_g722_32", 160};
    case kAudioG7221: return {AudioSubtype::G722, 0, nullptr, 0};
    case kAudioG711U:
    case kAudioG711A: return {AudioSubtype::G711, 0, nullptr, 0};
    default: return {};
  }
}

namespace {

std::optional<BlockView> NthBlock(const GroupView& group, int n, bool (*matches)(uint16_t)) {
  std::optional<BlockView> found;
  int seen = 0;
  ForEachBlock(group, [&](const BlockView& block) {
    if (!matches(block.type)) return false;
    if (seen++ == n) found = block;
    return found.has_value();
  });
  return found;
}

}  // namespace

BlockCounts CountBlocks(const GroupView& group) {
  BlockCounts counts;
  ForEachBlock(group, [&](const BlockView& block) {
    if (IsAudioBlockType(block.type)) ++counts.audio;
    if (IsVideoBlockType(block.type)) ++counts.video;
    return false;
  });
  return counts;
}

std::optional<BlockView> NthAudioBlock(const GroupView& group, int n) {
  return NthBlock(group, n, IsAudioBlockType);
}

std::optional<BlockView> NthVideoBlock(const GroupView& group, int n) {
  return NthBlock(group, n, IsVideoBlockType);
}

int64_t FrameDuration(uint32_t frameRateCode, int64_t previous) {
  if (frameRateCode <= kFrameRateBase) return previous;
  return kUnitsPerSecond / static_cast<int64_t>(frameRateCode - kFrameRateBase);
}

}  // namespace recorder
