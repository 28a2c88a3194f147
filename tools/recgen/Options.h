// What one recgen run writes: the stream's shape, its codecs, optional damage and optional
// elementary streams beside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "recorder/StreamFormat.h"

namespace recgen {

enum class VideoCodec { H264, Mpeg4, Mpeg4Sh };

// Damage applied to the written file; all off by default.
struct DamageOptions {
  size_t garbageBytes = 0;             // random bytes between the FileHeader and the first group
  size_t flipCount = 0;                // bytes after the FileHeader XORed with a non-zero mask
  uint32_t seed = 1;                   // drives the garbage and the flips
  std::optional<size_t> badBlockGroup;  // 0-based group whose first block gets an invalid type
  size_t truncateBytes = 0;            // bytes cut from the end of the file
};

struct Options {
  VideoCodec codec = VideoCodec::H264;
  int width = 352;
  int height = 288;
  int fps = 25;
  int frames = 250;
  std::optional<uint32_t> audioCode;  // FileHeader audio code; none writes no audio
  int groupFrames = 25;               // frames per group
  int gopGroups = 2;                  // groups per GOP; the first of each is a key group
  bool oldHeader = false;             // resolution code instead of explicit width and height
  uint16_t videoStandard = recorder::kStandardPal;
  std::optional<uint16_t> systemType;  // default: video and audio, or video only without audio
  DamageOptions damage;
  std::string elementaryDir;  // empty: no elementary streams
  std::string output;

  uint16_t SystemType() const {
    if (systemType) return *systemType;
    return audioCode ? recorder::kSystemVideoAudio : recorder::kSystemVideo;
  }
  bool HasVideo() const { return SystemType() != recorder::kSystemAudio; }
  bool HasAudio() const { return SystemType() != recorder::kSystemVideo; }
  int GroupCount() const { return (frames + groupFrames - 1) / groupFrames; }
  int GopFrames() const { return groupFrames * gopGroups; }
};

// Why the options cannot be written, or an empty text when they can.
std::string ValidateOptions(const Options& options);

}  // namespace recgen
