// GroupTiming: which groups of a recorder stream are delivered and when their samples play,
// by the rules every reader of the format keeps so that all of them stamp the same times:
//
// - Synchronisation: a reader starts unsynchronised, and loses synchronisation over damage.
//   Unsynchronised, it drops complete groups until one passes the resume test of the stream's
//   systemType; that group is delivered and synchronisation is regained.
// - Clocks (100 ns units, from 0 at the start): each video block is one frame of the group's
//   frame duration on the video clock; each audio block is 40 ms on the audio clock, which
//   first steps up to the video clock when it has fallen behind.
#pragma once

#include <cstdint>

#include "recorder/StreamFormat.h"

namespace vendor {

// The times of one delivered group's samples.
struct GroupTimes {
  int64_t videoStart = 0;     // the first video sample's start
  int64_t frameDuration = 0;  // of each video sample
  int64_t audioStart = 0;     // the first audio sample's start, after any step-up
  int videoBlocks = 0;
  int audioBlocks = 0;

  // Where the group stands in the stream: its first frame, or its first sound without video.
  int64_t Start() const { return videoBlocks > 0 ? videoStart : audioStart; }
  int64_t VideoEnd() const { return videoStart + videoBlocks * frameDuration; }
  int64_t AudioEnd() const { return audioStart + audioBlocks * recorder::kAudioBlockDuration; }
};

class GroupTiming {
 public:
  explicit GroupTiming(uint16_t systemType);

  // Back to the start of a stream: unsynchronised, both clocks at 0.
  void Reset();

  // Whether a stream of `systemType` may resume decoding at a group with this header.
  static bool MayResumeAt(const recorder::GroupHeader& header, uint16_t systemType);

  // Decides on the next complete group (`afterDamage`: bytes were skipped before it). True
  // and the times of its samples when it is delivered; the clocks then move past it.
  bool Accept(const recorder::GroupView& group, bool afterDamage, GroupTimes& times);

  int64_t VideoClock() const { return videoClock_; }
  int64_t AudioClock() const { return audioClock_; }

 private:
  const uint16_t systemType_;
  bool synchronised_ = false;
  int64_t videoClock_ = 0;
  int64_t audioClock_ = 0;
  int64_t frameDuration_ = recorder::kAudioBlockDuration;  // kept over groups without a rate
};

}  // namespace vendor
