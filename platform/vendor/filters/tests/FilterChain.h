// FilterChain: the recorder file source, optionally the two decoders, and a TestSink on each
// stream, connected pin to pin by hand and run without a graph, the way a graph would run
// them: paused from the sinks up, then run; stopped from the sinks up.
#pragma once

#include <string>

#include "ComPtr.h"
#include "RecorderAudioDecoder.h"
#include "RecorderFileSource.h"
#include "RecorderVideoDecoderFilter.h"
#include "TestSink.h"

namespace vendor::testing {

enum class Decoders { None, Both };

class FilterChain {
 public:
  explicit FilterChain(Keep keep = Keep::Everything);
  ~FilterChain();

  // Loads the file into the source; its result.
  HRESULT Load(const std::string& path);
  // Connects source → (decoders →) sinks; the audio stream only when `withAudio`.
  // Fails the test on any refused connection.
  void Connect(Decoders decoders, bool withAudio = true);
  void Pause();
  void Run();
  void Stop();
  // Runs to the end of both streams (fails the test on a time-out), then stops.
  void Play();

  RecorderFileSource& Source() { return *source_; }
  // The source's seeking, as its video pin hands it out.
  IMediaSeeking& Seeking();
  TestSink& VideoSink() { return *videoSink_; }
  TestSink& AudioSink() { return *audioSink_; }
  bool WithAudio() const { return withAudio_; }

 private:
  // Each filter is held through its own reference; the C++ pointers are for the hooks.
  static void Hold(CUnknown* object, ComPtr<IBaseFilter>& holder);
  void ForEachDownstreamFirst(HRESULT (IBaseFilter::*step)());

  RecorderFileSource* source_ = nullptr;
  RecorderVideoDecoderFilter* videoDecoder_ = nullptr;
  RecorderAudioDecoder* audioDecoder_ = nullptr;
  TestSink* videoSink_ = nullptr;
  TestSink* audioSink_ = nullptr;
  ComPtr<IBaseFilter> held_[5];
  ComPtr<IMediaSeeking> seeking_;
  bool decoding_ = false;
  bool withAudio_ = true;
};

}  // namespace vendor::testing
