#include "FilterChain.h"

#include <gtest/gtest.h>

#include "WideString.h"
#include "recorder/RecorderMediaTypes.h"

namespace vendor::testing {

FilterChain::FilterChain(Keep keep) {
  HRESULT hr = S_OK;
  source_ = static_cast<RecorderFileSource*>(RecorderFileSource::CreateInstance(nullptr, &hr));
  videoDecoder_ = static_cast<RecorderVideoDecoderFilter*>(
      RecorderVideoDecoderFilter::CreateInstance(nullptr, &hr));
  audioDecoder_ =
      static_cast<RecorderAudioDecoder*>(RecorderAudioDecoder::CreateInstance(nullptr, &hr));
  videoSink_ = new TestSink(MEDIATYPE_Video, keep);
  audioSink_ = new TestSink(MEDIATYPE_Audio, keep);
  Hold(source_, held_[0]);
  Hold(videoDecoder_, held_[1]);
  Hold(audioDecoder_, held_[2]);
  Hold(videoSink_, held_[3]);
  Hold(audioSink_, held_[4]);
}

FilterChain::~FilterChain() {
  Stop();
  // Connected pins hold each other's filters: break every connection so all are freed.
  for (ComPtr<IBaseFilter>& filter : held_) {
    ComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(pins.GetAddressOf()))) continue;
    for (IPin* pin = nullptr; pins->Next(1, &pin, nullptr) == S_OK; pin->Release()) pin->Disconnect();
  }
}

void FilterChain::Hold(CUnknown* object, ComPtr<IBaseFilter>& holder) {
  object->NonDelegatingAddRef();
  object->NonDelegatingQueryInterface(IID_IBaseFilter, holder.ReleaseAndGetVoidAddress());
  object->NonDelegatingRelease();
}

HRESULT FilterChain::Load(const std::string& path) {
  return source_->Load(Utf8ToWide(path).c_str(), nullptr);
}

IMediaSeeking& FilterChain::Seeking() {
  if (!seeking_) {
    EXPECT_EQ(S_OK, source_->GetPin(0)->QueryInterface(IID_IMediaSeeking,
                                                     seeking_.ReleaseAndGetVoidAddress()));
  }
  return *seeking_;
}

void FilterChain::Connect(Decoders decoders, bool withAudio) {
  decoding_ = decoders == Decoders::Both;
  withAudio_ = withAudio;
  if (!decoding_) {
    // The sinks take the recorder types as they are.
    videoSink_ = nullptr;
    audioSink_ = nullptr;
    auto* video = new TestSink(MEDIATYPE_RecorderStream);
    auto* audio = new TestSink(source_->Index().Header().systemType == recorder::kSystemVideo
                                   ? MEDIATYPE_RecorderNoAudio
                                   : MEDIATYPE_RecorderStream);
    Hold(video, held_[3]);
    Hold(audio, held_[4]);
    videoSink_ = video;
    audioSink_ = audio;
    ASSERT_EQ(S_OK, source_->GetPin(0)->Connect(videoSink_->GetPin(0), nullptr));
    if (withAudio) {
      ASSERT_EQ(S_OK, source_->GetPin(1)->Connect(audioSink_->GetPin(0), nullptr));
    }
    return;
  }
  ASSERT_EQ(S_OK, source_->GetPin(0)->Connect(videoDecoder_->GetPin(0), nullptr));
  ASSERT_EQ(S_OK, videoDecoder_->GetPin(1)->Connect(videoSink_->GetPin(0), nullptr));
  if (!withAudio) return;
  ASSERT_EQ(S_OK, source_->GetPin(1)->Connect(audioDecoder_->GetPin(0), nullptr));
  ASSERT_EQ(S_OK, audioDecoder_->GetPin(1)->Connect(audioSink_->GetPin(0), nullptr));
}

void FilterChain::ForEachDownstreamFirst(HRESULT (IBaseFilter::*step)()) {
  for (int i : {3, 4, 1, 2, 0}) {
    if (held_[i]) {
      EXPECT_TRUE(SUCCEEDED((held_[i].Get()->*step)())) << "filter " << i;
    }
  }
}

void FilterChain::Pause() { ForEachDownstreamFirst(&IBaseFilter::Pause); }

void FilterChain::Run() {
  for (int i : {3, 4, 1, 2, 0}) EXPECT_TRUE(SUCCEEDED(held_[i]->Run(0))) << "filter " << i;
}

void FilterChain::Stop() { ForEachDownstreamFirst(&IBaseFilter::Stop); }

void FilterChain::Play() {
  Pause();
  Run();
  EXPECT_TRUE(videoSink_->WaitForEnd()) << "no end of stream on the video path";
  if (withAudio_) {
    EXPECT_TRUE(audioSink_->WaitForEnd()) << "no end of stream on the audio path";
  }
  Stop();
}

}  // namespace vendor::testing
