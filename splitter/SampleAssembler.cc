#include "SampleAssembler.h"

#include <cstring>

#include "DebugOutput.h"
#include "SampleLease.h"
#include "recorder/RecorderMediaTypes.h"
#include "recorder/Trace.h"

namespace splitter {

using recorder::BlockView;
using recorder::GroupView;
using recorder::kAudioSamplePrefixSize;
using recorder::kSilenceBlockType;
using recorder::kVideoSamplePrefixSize;
using recorder::Trace;
using recorder::VideoSamplePrefix;
using recorder::WriteAudioSamplePrefix;

namespace {

// Copies the group's video blocks (header and payload each) after the prefix; E_FAIL when
// they do not fit in `capacity`. Returns the bytes written in `length`.
HRESULT WriteVideoSample(uint8_t* sample, size_t capacity, const VideoSamplePrefix& prefix,
                         const GroupView& group, size_t& length) {
  if (capacity < kVideoSamplePrefixSize) return E_FAIL;
  prefix.WriteTo(sample);
  size_t written = kVideoSamplePrefixSize;
  HRESULT status = S_OK;
  recorder::ForEachBlock(group, [&](const BlockView& block) {
    if (!recorder::IsVideoBlockType(block.type)) return false;
    const size_t size = block.Size();
    if (size > capacity - written) {
      status = E_FAIL;
      return true;
    }
    std::memcpy(sample + written, block.start, size);
    written += size;
    return false;
  });
  length = written;
  return status;
}

}  // namespace

SampleAssembler::SampleAssembler(SampleOutput& video, SampleOutput& audio)
    : video_(video), audio_(audio) {
  SetAudioCodec(recorder::kAudioAdpcm);
}

void SampleAssembler::SetAudioCodec(uint32_t normalisedCodec) {
  codec_ = recorder::DescribeAudioCodec(normalisedCodec);
}

void SampleAssembler::Reset() {
  silence_ = true;
  videoClock_.store(0, std::memory_order_relaxed);
  audioClock_ = 0;
  downstreamError_ = S_OK;
}

HRESULT SampleAssembler::ProcessGroup(const GroupView& group) {
  Trace("Enter ProcessGroup");
  HRESULT status = S_OK;
  try {
    if (silence_) {
      status = SendSilence();
      if (FAILED(status)) return status;
      silence_ = false;
    }
    const recorder::BlockCounts counts = recorder::CountBlocks(group);
    if (counts.audio > 0) {
      status = DeliverAudio(group);
      if (FAILED(status)) return status;
    }
    if (counts.video > 0) {
      status = DeliverVideo(group, counts.video);
      if (FAILED(status)) return status;
    }
  } catch (...) {
    return status;
  }
  Trace("Leave ProcessGroup");
  return status;
}

HRESULT SampleAssembler::SendSilence() {
  const size_t filler = codec_.silenceLength;
  for (int i = 0; i < kSilenceSamples; ++i) {
    SampleLease sample(audio_);
    if (FAILED(sample.Obtain())) {
      Trace("Cannot get audio delivery buffer!");
      return S_OK;
    }
    if (const HRESULT hr = sample.Map(); FAILED(hr)) return hr;
    if (sample.Capacity() < kAudioSamplePrefixSize + filler) return E_FAIL;
    WriteAudioSamplePrefix(sample.Data(), kSilenceBlockType);
    std::memset(sample.Data() + kAudioSamplePrefixSize, kSilenceFillByte, filler);
    if (codec_.traceName) {
      recorder::TraceF("Splitter : %s block_size = %d\n", codec_.traceName,
                       codec_.traceBlockSize);
    } else {
      Trace("Splitter : unknow Stream Type!");
    }
    const REFERENCE_TIME start = audioClock_;
    audioClock_ += recorder::kAudioBlockDuration;
    Trace("Splitter : send a cheat audio sample\n");
    if (const HRESULT hr = Deliver(sample, kAudioSamplePrefixSize + filler, start, audioClock_);
        FAILED(hr)) {
      return hr;
    }
  }
  return S_OK;
}

HRESULT SampleAssembler::DeliverAudio(const GroupView& group) {
  const REFERENCE_TIME videoClock = VideoClock();
  if (audioClock_ < videoClock) {
    audioClock_ = videoClock;
    OutputDebugStringA("Splitter: Audio step up!");
  }
  HRESULT status = S_OK;
  recorder::ForEachBlock(group, [&](const BlockView& block) {
    if (!recorder::IsAudioBlockType(block.type)) return false;
    SampleLease sample(audio_);
    if (FAILED(sample.Obtain())) return true;
    if (const HRESULT hr = sample.Map(); FAILED(hr)) {
      status = hr;
      return true;
    }
    const size_t payload = block.PayloadSize();
    if (sample.Capacity() < payload + kAudioSamplePrefixSize) {
      status = E_FAIL;
      return true;
    }
    WriteAudioSamplePrefix(sample.Data(), block.type);
    std::memcpy(sample.Data() + kAudioSamplePrefixSize, block.payload, payload);
    const REFERENCE_TIME start = audioClock_;
    audioClock_ += recorder::kAudioBlockDuration;
    const HRESULT hr = Deliver(sample, payload + kAudioSamplePrefixSize, start, audioClock_);
    if (FAILED(hr)) {
      Trace("Failed to deliver audio sample!");
      status = hr;
      return true;
    }
    return false;
  });
  return status;
}

HRESULT SampleAssembler::DeliverVideo(const GroupView& group, int videoBlocks) {
  frameDuration_ = recorder::FrameDuration(group.header.frameRateCode, frameDuration_);
  VideoSamplePrefix prefix =
      VideoSamplePrefix::ForGroup(group.header, static_cast<uint32_t>(videoBlocks));
  for (int j = 1; j <= videoBlocks; ++j) {
    SampleLease sample(video_);
    if (FAILED(sample.Obtain())) {
      Trace("Failed to get videodeliver buffer!");
      return S_OK;
    }
    if (FAILED(sample.Map())) return S_OK;
    prefix.index = static_cast<uint32_t>(j);
    size_t length = 0;
    if (FAILED(WriteVideoSample(sample.Data(), sample.Capacity(), prefix, group, length)))
      return E_FAIL;
    const REFERENCE_TIME start = VideoClock();
    const REFERENCE_TIME stop = start + frameDuration_;
    videoClock_.store(stop, std::memory_order_relaxed);
    if (FAILED(Deliver(sample, length, start, stop))) return S_OK;
  }
  return S_OK;
}

HRESULT SampleAssembler::Deliver(SampleLease& sample, size_t length, REFERENCE_TIME start,
                                 REFERENCE_TIME stop) {
  const HRESULT hr = sample.Deliver(length, start, stop);
  if (FAILED(hr) && SUCCEEDED(downstreamError_)) downstreamError_ = hr;
  return hr;
}

HRESULT SampleAssembler::TakeDownstreamError() {
  const HRESULT hr = downstreamError_;
  downstreamError_ = S_OK;
  return hr;
}

}  // namespace splitter
