#include "StreamBuilder.h"

namespace splitter::testing {

using namespace recorder;

namespace {
constexpr uint32_t kGroupWord4 = 0x1000;  // never 1 in a real group start
constexpr uint32_t kAudioMarker = 0x1001;
}  // namespace

GroupSpec MakeGroupSpec(uint32_t frameType, int audioBlocks, uint32_t audioLength,
                        int videoBlocks, uint32_t videoLength) {
  GroupSpec fields;
  fields.frameType = frameType;
  fields.audioWord = audioBlocks > 0 ? kAudioMarker : 0;
  for (int i = 0; i < audioBlocks; ++i) fields.blocks.push_back({kBlockAudio1, audioLength});
  for (int i = 0; i < videoBlocks; ++i) fields.blocks.push_back({kBlockVideo1, videoLength});
  return fields;
}

FileHeader MakeFileHeader(uint16_t systemType, uint32_t audioCodec) {
  FileHeader header;
  header.magic = kMagic4HLQ;
  header.version = kVersionExplicitSize;
  header.systemType = systemType;
  header.videoStandard = kStandardPal;
  header.audioChannels = 1;
  header.audioBitsPerSample = 16;
  header.audioSampleRate = 8000;
  header.videoResolution = 352 | 288u << 16;
  header.audioCodec = audioCodec;
  return header;
}

size_t StreamBuilder::AddGroup(const GroupSpec& fields) {
  const size_t offset = bytes_.size();
  GroupHeader header;
  header.startCode = kGroupStartCode;
  header.word4 = kGroupWord4;
  header.audioWord = fields.audioWord;
  header.blockCountWord = static_cast<uint32_t>(fields.blocks.size());
  header.frameType = fields.frameType;
  header.groupResolution = kResolutionCif;
  header.frameRateCode = fields.frameRateCode;
  header.groupWord32 = 0x32323232;
  header.groupWord36 = static_cast<uint32_t>(offset);
  header.groupWord40 = 0x40404040;
  const auto groupBytes = Serialize(header);
  bytes_.insert(bytes_.end(), groupBytes.begin(), groupBytes.end());
  for (const BlockSpec& blockSpec : fields.blocks) {
    BlockHeader block;
    block.type = blockSpec.type;
    block.length = blockSpec.length;
    for (size_t i = 0; i < block.opaque.size(); ++i) block.opaque[i] = static_cast<uint8_t>(0xA0 + i);
    const auto blockBytes = Serialize(block);
    bytes_.insert(bytes_.end(), blockBytes.begin(), blockBytes.end());
    for (uint32_t i = 0; i < blockSpec.length; ++i)
      bytes_.push_back(static_cast<uint8_t>(2 + pattern_++ % 254));
  }
  return offset;
}

void StreamBuilder::AddBytes(const std::vector<uint8_t>& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

}  // namespace splitter::testing
