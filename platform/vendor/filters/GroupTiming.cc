#include "GroupTiming.h"

namespace vendor {

using namespace recorder;

GroupTiming::GroupTiming(uint16_t systemType) : systemType_(systemType) {}

void GroupTiming::Reset() {
  synchronised_ = false;
  videoClock_ = 0;
  audioClock_ = 0;
}

bool GroupTiming::MayResumeAt(const GroupHeader& header, uint16_t systemType) {
  switch (systemType) {
    case kSystemVideo: return header.IsResumePoint();
    case kSystemAudio: return header.HasAudio();
    case kSystemVideoAudio:
      // With audio in the group only a key group will do; without, any resume point.
      return header.HasAudio() ? header.frameType == kFrameTypeKey : header.IsResumePoint();
    default: return false;
  }
}

bool GroupTiming::Accept(const GroupView& group, bool afterDamage, GroupTimes& times) {
  if (afterDamage) synchronised_ = false;
  if (!synchronised_) {
    if (!MayResumeAt(group.header, systemType_)) return false;
    synchronised_ = true;
  }
  const BlockCounts counts = CountBlocks(group);
  times.audioBlocks = counts.audio;
  times.videoBlocks = counts.video;
  if (counts.audio > 0) {
    if (audioClock_ < videoClock_) audioClock_ = videoClock_;
    times.audioStart = audioClock_;
    audioClock_ = times.AudioEnd();
  } else {
    times.audioStart = audioClock_;
  }
  if (counts.video > 0) frameDuration_ = FrameDuration(group.header.frameRateCode, frameDuration_);
  times.frameDuration = frameDuration_;
  times.videoStart = videoClock_;
  videoClock_ = times.VideoEnd();
  return true;
}

}  // namespace vendor
