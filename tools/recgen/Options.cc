#include "Options.h"

#include "AudioCodings.h"
#include "StreamLayout.h"

namespace recgen {

namespace {

constexpr int kMinDimension = 16;
constexpr int kMaxDimension = 4096;
constexpr int kMaxFps = 120;
constexpr int kMaxBlocksPerGroup = 255;  // the block count is one byte

std::string CheckPicture(const Options& o) {
  if (o.width < kMinDimension || o.height < kMinDimension || o.width > kMaxDimension ||
      o.height > kMaxDimension || o.width % 2 || o.height % 2)
    return "size must be even and between 16 and 4096 in each direction";
  if (o.fps < 1 || o.fps > kMaxFps) return "frame rate must be 1 to 120";
  if (o.oldHeader && !ResolutionCodeFor(o.width, o.height, o.videoStandard))
    return "an old header needs a size that has a resolution code in this video standard";
  return {};
}

std::string CheckStreams(const Options& o) {
  const uint16_t system = o.SystemType();
  if (system != recorder::kSystemVideo && system != recorder::kSystemAudio &&
      system != recorder::kSystemVideoAudio)
    return "system type must be 0x1001, 0x1002 or 0x1003";
  if (o.audioCode && !FindAudioCoding(*o.audioCode)) return "unknown audio code";
  if (o.HasAudio() && !o.audioCode) return "this system type needs an audio code";
  if (!o.HasAudio() && o.audioCode) return "system type 0x1001 carries no audio";
  return {};
}

std::string CheckGroups(const Options& o) {
  if (o.frames < 1) return "at least one frame is needed";
  if (o.groupFrames < 1 || o.groupFrames > kMaxBlocksPerGroup)
    return "frames per group must be 1 to 255";
  if (o.gopGroups < 1) return "groups per GOP must be at least 1";
  const int64_t audioBlocks = o.HasAudio() ? AudioBlocksDue(o.groupFrames, FrameDurationOf(o)) + 1 : 0;
  const int64_t videoBlocks = o.HasVideo() ? o.groupFrames : 0;
  if (audioBlocks + videoBlocks > kMaxBlocksPerGroup)
    return "a group would hold more than 255 blocks; use fewer frames per group";
  if (o.damage.badBlockGroup && *o.damage.badBlockGroup >= static_cast<size_t>(o.GroupCount()))
    return "the bad block group lies beyond the last group";
  return {};
}

}  // namespace

std::string ValidateOptions(const Options& options) {
  if (options.output.empty()) return "no output file given";
  for (auto check : {CheckPicture, CheckStreams, CheckGroups}) {
    if (std::string reason = check(options); !reason.empty()) return reason;
  }
  return {};
}

}  // namespace recgen
