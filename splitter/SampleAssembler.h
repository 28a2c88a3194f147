// SampleAssembler: turns one accepted group into timed output samples: three silence
// samples when asked for, then the group's audio samples, then its video samples.
//
// Time follows the data alone. The video clock advances one frame duration per video
// sample; the audio clock 40 ms per audio or silence sample and steps up to the video clock
// before a group's audio when it has fallen behind. A clock advances for every sample that
// was stamped, whether its delivery then succeeded or not.
//
// Not thread-safe: the group parser calls it on the streaming thread, under its own lock.
#pragma once

#include <atomic>

#include "SampleLease.h"
#include "SampleOutput.h"
#include "recorder/StreamFormat.h"

namespace splitter {

class SampleAssembler {
 public:
  static constexpr REFERENCE_TIME kInitialFrameDuration = 400'000;  // 25 fps until told
  static constexpr int kSilenceSamples = 3;  // filler samples sent before a resumed group
  static constexpr uint8_t kSilenceFillByte = 0x0F;

  SampleAssembler(SampleOutput& video, SampleOutput& audio);

  // The normalised audio codec of the connection; chooses the silence filler.
  void SetAudioCodec(uint32_t normalisedCodec);

  // Back to the start of a stream: silence pending, both clocks at 0. The frame duration
  // is kept: it belongs to the stream, not to the position in it.
  void Reset();

  // Sends silence before the next group (the stream resumed at a group without audio).
  void RequestSilence() { silence_ = true; }

  // Delivers one complete group. A fault inside returns the status as it stood before it.
  [[nodiscard]] HRESULT ProcessGroup(const recorder::GroupView& group);

  // The first failure a downstream pin answered a delivery with since the last call, then
  // S_OK again. The group's own faults never show here: only what the upstream filter must
  // hear to stop pushing into a stopped or broken graph.
  HRESULT TakeDownstreamError();
  bool DownstreamFailed() const { return FAILED(downstreamError_); }

  // Start time of the next video sample; readable from any thread.
  REFERENCE_TIME VideoClock() const { return videoClock_.load(std::memory_order_relaxed); }

 private:
  HRESULT SendSilence();
  HRESULT DeliverAudio(const recorder::GroupView& group);
  HRESULT DeliverVideo(const recorder::GroupView& group, int videoBlocks);
  // Delivers the sample and remembers a failure for TakeDownstreamError.
  HRESULT Deliver(SampleLease& sample, size_t length, REFERENCE_TIME start, REFERENCE_TIME stop);

  SampleOutput& video_;
  SampleOutput& audio_;
  recorder::AudioCodecInfo codec_;
  bool silence_ = true;
  std::atomic<REFERENCE_TIME> videoClock_{0};  // written on the streaming thread only
  REFERENCE_TIME audioClock_ = 0;
  REFERENCE_TIME frameDuration_ = kInitialFrameDuration;
  HRESULT downstreamError_ = S_OK;
};

}  // namespace splitter
