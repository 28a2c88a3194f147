#include "recorder/RecorderMediaTypes.h"

#include <algorithm>

namespace recorder {
namespace {

// Offsets inside the VIDEOINFOHEADER (after the FileHeader).
constexpr size_t kRcSource = 0;
constexpr size_t kRcTarget = 16;
constexpr size_t kAvgTimePerFrame = 40;
constexpr size_t kBmiHeader = 48;
// Offsets inside its BITMAPINFOHEADER.
constexpr size_t kBiSize = 0;
constexpr size_t kBiWidth = 4;
constexpr size_t kBiHeight = 8;
constexpr size_t kBiPlanes = 12;
constexpr uint32_t kBitmapInfoHeaderSize = 40;

// Offsets inside the WAVEFORMATEX (after the FileHeader).
constexpr size_t kFormatTag = 0;
constexpr size_t kChannels = 2;
constexpr size_t kSamplesPerSec = 4;
constexpr size_t kAvgBytesPerSec = 8;
constexpr size_t kBlockAlign = 12;
constexpr size_t kBitsPerSample = 14;

void WriteRect(uint8_t* p, const PictureSize& size) {
  wl32(p + 8, static_cast<uint32_t>(size.width));
  wl32(p + 12, static_cast<uint32_t>(size.height));
}

template <size_t N>
void WriteFileHeader(std::array<uint8_t, N>& format, const FileHeader& header) {
  const auto bytes = Serialize(header);
  std::copy(bytes.begin(), bytes.end(), format.begin());
}

}  // namespace

std::array<uint8_t, kVideoFormatSize> BuildVideoFormat(const FileHeader& header,
                                                       int64_t frameTime) {
  std::array<uint8_t, kVideoFormatSize> format{};
  WriteFileHeader(format, header);
  const PictureSize size = DeriveStreamParams(header).size;
  uint8_t* info = format.data() + kFileHeaderSize;
  WriteRect(info + kRcSource, size);
  WriteRect(info + kRcTarget, size);
  wl64(info + kAvgTimePerFrame, static_cast<uint64_t>(frameTime));
  uint8_t* bitmap = info + kBmiHeader;
  wl32(bitmap + kBiSize, kBitmapInfoHeaderSize);
  wl32(bitmap + kBiWidth, static_cast<uint32_t>(size.width));
  wl32(bitmap + kBiHeight, static_cast<uint32_t>(size.height));
  wl16(bitmap + kBiPlanes, 1);
  return format;
}

std::array<uint8_t, kAudioFormatSize> BuildAudioFormat(const FileHeader& header) {
  std::array<uint8_t, kAudioFormatSize> format{};
  WriteFileHeader(format, header);
  const uint16_t channels = header.audioChannels & 0xFF;
  const uint16_t blockAlign = static_cast<uint16_t>(channels * header.audioBitsPerSample / 8);
  uint8_t* wave = format.data() + kFileHeaderSize;
  wl16(wave + kFormatTag, kRecorderWaveFormatTag);
  wl16(wave + kChannels, channels);
  wl32(wave + kSamplesPerSec, header.audioSampleRate);
  wl32(wave + kAvgBytesPerSec, blockAlign * header.audioSampleRate);
  wl16(wave + kBlockAlign, blockAlign);
  wl16(wave + kBitsPerSample, header.audioBitsPerSample);
  return format;
}

std::optional<VideoSamplePrefix> VideoSamplePrefix::Parse(ByteSpan sample) {
  if (sample.size() < kVideoSamplePrefixSize) return std::nullopt;
  uint32_t words[7];
  for (size_t i = 0; i < std::size(words); ++i) words[i] = *rl32(sample, 4 * i);
  return VideoSamplePrefix{words[0], words[1], words[2], words[3],
                           words[4], words[5], words[6]};
}

std::optional<BlockView> FrameBlockOfVideoSample(ByteSpan sample) {
  const auto prefix = VideoSamplePrefix::Parse(sample);
  if (!prefix || prefix->index == 0 || prefix->index > prefix->blockCount) return std::nullopt;
  const uint8_t* cursor = sample.data() + kVideoSamplePrefixSize;
  const uint8_t* end = sample.data() + sample.size();
  for (uint32_t n = 1; cursor < end; ++n) {
    BlockView block;
    if (ParseBlock(cursor, end, block) != ParseResult::Complete) return std::nullopt;
    if (n == prefix->index) {
      if (!IsVideoBlockType(block.type)) return std::nullopt;
      return block;
    }
    cursor = block.end;
  }
  return std::nullopt;
}

}  // namespace recorder
