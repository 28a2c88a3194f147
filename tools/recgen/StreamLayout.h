// How recgen's options become recorder stream headers and group timing.
#pragma once

#include <cstdint>
#include <optional>

#include "Options.h"
#include "recorder/StreamFormat.h"

namespace recgen {

// Header versions: before kVersionExplicitSize the picture size is a resolution code.
constexpr uint32_t kVersionWithCode = 0x20030612;
constexpr uint32_t kVersionWithSize = 0x20070910;

// GroupHeader.audioWord: the low bits mark a group that carries audio.
constexpr uint32_t kAudioWordNone = 0x1000;
constexpr uint32_t kAudioWordPresent = 0x1001;

// GroupHeader word 4: anything but 1, which would hide the group start.
constexpr uint32_t kGroupWord4 = 0;

// The code for a picture size under a video standard, if the size has one.
std::optional<uint32_t> ResolutionCodeFor(int width, int height, uint16_t videoStandard);

uint32_t MagicFor(VideoCodec codec);

recorder::FileHeader MakeFileHeader(const Options& options);

// The header of group `index` without its block count and audio word (set when the group's
// blocks are known).
recorder::GroupHeader MakeGroupHeader(const Options& options, int index);

// Frame duration in 100 ns units as a reader derives it from the frame rate code.
int64_t FrameDurationOf(const Options& options);

// Audio blocks that must have been written once `frames` frames are: enough to cover the
// frames' time, so audio never falls behind video and a reader never has to step audio up.
int64_t AudioBlocksDue(int64_t frames, int64_t frameDuration);

}  // namespace recgen
