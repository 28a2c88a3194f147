#include "ElementaryFrame.h"

namespace {

constexpr uint8_t kH264NalTypeMask = 0x1F;
constexpr uint8_t kH264Idr = 5;
constexpr uint8_t kH264Sps = 7;
constexpr uint8_t kH264Pps = 8;
constexpr uint8_t kMpeg4VopCode = 0xB6;
constexpr uint8_t kMpeg4VopTypeShift = 6;  // vop_coding_type: the top two bits, 0 = intra
constexpr uint8_t kLongStartCode[] = {0, 0, 0, 1};

}  // namespace

std::vector<StartCodeUnit> SplitAtStartCodes(std::span<const uint8_t> bytes) {
  std::vector<StartCodeUnit> units;
  const size_t n = bytes.size();
  size_t i = 0;
  while (i + 3 <= n) {
    if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1) {
      const size_t codeAt = i > 0 && bytes[i - 1] == 0 ? i - 1 : i;
      if (!units.empty()) {
        StartCodeUnit& last = units.back();
        last.size = codeAt - last.offset;
      }
      units.push_back({codeAt, i + 3, n - (i + 3)});
      i += 3;
    } else {
      ++i;
    }
  }
  return units;
}

bool IsKeyFrame(ElementaryCodec codec, std::span<const uint8_t> frame) {
  for (const StartCodeUnit& unit : SplitAtStartCodes(frame)) {
    if (unit.size == 0) continue;
    const uint8_t first = frame[unit.offset];
    if (codec == ElementaryCodec::H264) {
      if ((first & kH264NalTypeMask) == kH264Idr) return true;
    } else if (first == kMpeg4VopCode) {
      return unit.size >= 2 && (frame[unit.offset + 1] >> kMpeg4VopTypeShift) == 0;
    }
  }
  return false;
}

std::vector<uint8_t> DecoderConfiguration(ElementaryCodec codec, std::span<const uint8_t> frame) {
  std::vector<uint8_t> config;
  for (const StartCodeUnit& unit : SplitAtStartCodes(frame)) {
    if (unit.size == 0) continue;
    const uint8_t first = frame[unit.offset];
    if (codec == ElementaryCodec::Mpeg4Part2) {
      // Everything before the first VOP: visual object sequence, object and layer headers.
      if (first == kMpeg4VopCode) {
        config.assign(frame.begin(), frame.begin() + static_cast<long>(unit.startCodeAt));
        return config;
      }
      continue;
    }
    const uint8_t type = first & kH264NalTypeMask;
    if (type != kH264Sps && type != kH264Pps) continue;
    config.insert(config.end(), std::begin(kLongStartCode), std::end(kLongStartCode));
    const auto nal = frame.subspan(unit.offset, unit.size);
    config.insert(config.end(), nal.begin(), nal.end());
  }
  return codec == ElementaryCodec::Mpeg4Part2 ? std::vector<uint8_t>{} : config;
}
