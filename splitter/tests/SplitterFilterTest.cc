// The splitter filter: input and output types, allocator needs, and the stream pushed through
// hand-wired pins into sinks.
#include <gtest/gtest.h>

#include <cstring>

#include "Allocator.h"
#include "DShowErrors.h"
#include "GraphFilters.h"
#include "ParserHarness.h"
#include "SplitterFilter.h"
#include "recorder/RecorderGuids.h"

using namespace recorder;
using namespace splitter;
using namespace splitter::testing;

namespace {

FileHeader Header640x480(uint16_t systemType = kSystemVideoAudio, uint32_t codec = kAudioG722_32) {
  FileHeader header = MakeFileHeader(systemType, codec);
  header.videoResolution = 640 | 480u << 16;
  return header;
}

ConnectionFormat FormatOf(const FileHeader& header) {
  return {header, DeriveStreamParams(header)};
}

struct Splitter {
  Splitter() {
    HRESULT hr = S_OK;
    filter = static_cast<CQrlNetSplitter*>(CQrlNetSplitter::CreateInstance(nullptr, &hr));
    EXPECT_EQ(hr, S_OK);
    held = Hold(filter);
  }
  CBasePin* Input() { return filter->GetPin(0); }
  CBasePin* Video() { return filter->GetPin(1); }
  CBasePin* Audio() { return filter->GetPin(2); }

  CQrlNetSplitter* filter = nullptr;
  ComPtr<IBaseFilter> held;
};

// Grants one buffer fewer than asked for.
class StingyAllocator : public CMemAllocator {
 public:
  StingyAllocator() : CMemAllocator("Stingy", nullptr) {}
  HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override {
    ALLOCATOR_PROPERTIES fewer = *request;
    --fewer.cBuffers;
    return CMemAllocator::SetProperties(&fewer, actual);
  }
};

}  // namespace

TEST(SplitterFilter, InputAcceptsOnlyTheRecorderStreamWithAWholeHeader) {
  Splitter s;
  ParserHarness traces;  // captures the trace hook
  CMediaType good = RecorderStreamType(Header640x480());
  EXPECT_EQ(s.Input()->CheckMediaType(nullptr), E_FAIL);
  CMediaType wrongSubtype = good;
  wrongSubtype.SetSubtype(&MEDIASUBTYPE_RecorderVideo);
  EXPECT_EQ(s.Input()->CheckMediaType(&wrongSubtype), E_UNEXPECTED);
  CMediaType wrongFormat = good;
  wrongFormat.SetFormatType(&FORMAT_VideoInfo);
  EXPECT_EQ(s.Input()->CheckMediaType(&wrongFormat), E_UNEXPECTED);
  CMediaType shortFormat = good;
  shortFormat.ReallocFormatBuffer(kFileHeaderSize - 1);
  EXPECT_EQ(s.Input()->CheckMediaType(&shortFormat), E_UNEXPECTED);
  EXPECT_EQ(s.Input()->CheckMediaType(&good), S_OK);
  EXPECT_EQ(traces.CountTrace("version: 20040308"), 1);
  EXPECT_EQ(traces.CountTrace("Formattype match!"), 2);

  CMediaType offered;
  EXPECT_EQ(s.Input()->GetMediaType(0, &offered), S_OK);
  EXPECT_TRUE(offered.majortype == MEDIATYPE_RecorderStream &&
              offered.formattype == FORMAT_RecorderStream && offered.cbFormat == 0);
  EXPECT_EQ(s.Input()->GetMediaType(1, &offered), VFW_S_NO_MORE_ITEMS);
}

TEST(SplitterFilter, VideoTypeCarriesTheHeaderAndThePictureSize) {
  const FileHeader header = Header640x480();
  CMediaType type;
  ASSERT_EQ(BuildVideoType(FormatOf(header), &type), S_OK);
  EXPECT_TRUE(type.subtype == MEDIASUBTYPE_RecorderVideo && type.formattype == FORMAT_VideoInfo);
  EXPECT_FALSE(type.IsFixedSize());
  EXPECT_TRUE(type.IsTemporalCompressed());
  ASSERT_EQ(type.cbFormat, 128u);
  const auto bytes = Serialize(header);
  EXPECT_EQ(std::memcmp(type.pbFormat, bytes.data(), bytes.size()), 0);
  VIDEOINFOHEADER info;
  std::memcpy(&info, type.pbFormat + 40, sizeof info);
  EXPECT_EQ(info.rcSource.right, 640);
  EXPECT_EQ(info.rcTarget.bottom, 480);
  EXPECT_EQ(info.AvgTimePerFrame, 400'000);
  EXPECT_EQ(info.bmiHeader.biSize, 40u);
  EXPECT_EQ(info.bmiHeader.biWidth, 640);
  EXPECT_EQ(info.bmiHeader.biHeight, 480);
  EXPECT_EQ(info.bmiHeader.biPlanes, 1);
  EXPECT_EQ(info.bmiHeader.biCompression, 0u);

  FileHeader second = header;
  second.magic = kMagic4MSH;
  ASSERT_EQ(BuildVideoType(FormatOf(second), &type), S_OK);
  EXPECT_TRUE(type.subtype == MEDIASUBTYPE_RecorderVideo2);
  second.magic = 0x12345678;
  ASSERT_EQ(BuildVideoType(FormatOf(second), &type), S_OK);
  EXPECT_TRUE(type.subtype == GUID{});
  EXPECT_FALSE(IsVideoOutputType(type));  // the pin refuses what it offers
}

TEST(SplitterFilter, AudioTypeFollowsTheCodecAndTheSystemType) {
  CMediaType type;
  ASSERT_EQ(BuildAudioType(FormatOf(Header640x480(kSystemVideoAudio, kAudioG7221)), &type), S_OK);
  EXPECT_TRUE(type.subtype == MEDIASUBTYPE_RecorderAudioG722);
  EXPECT_TRUE(type.IsFixedSize() && type.lSampleSize == 96 && type.IsTemporalCompressed());
  ASSERT_EQ(type.cbFormat, 60u);
  WAVEFORMATEX wave;
  std::memcpy(&wave, type.pbFormat + 40, sizeof wave);
  EXPECT_EQ(wave.wFormatTag, 0x4061);
  EXPECT_EQ(wave.nChannels, 1);
  EXPECT_EQ(wave.nSamplesPerSec, 8000u);
  EXPECT_EQ(wave.nBlockAlign, 2);
  EXPECT_EQ(wave.nAvgBytesPerSec, 16'000u);
  EXPECT_EQ(wave.cbSize, 0);
  EXPECT_EQ(type.pbFormat[58] | type.pbFormat[59], 0);
  EXPECT_TRUE(IsAudioOutputType(type));

  ASSERT_EQ(BuildAudioType(FormatOf(Header640x480(kSystemVideoAudio, kAudioG711U)), &type), S_OK);
  EXPECT_TRUE(type.subtype == MEDIASUBTYPE_RecorderAudio711);
  ASSERT_EQ(BuildAudioType(FormatOf(Header640x480(kSystemVideoAudio, 0)), &type), S_OK);
  EXPECT_TRUE(type.subtype == GUID{});
  EXPECT_FALSE(IsAudioOutputType(type));  // ADPCM: offered, then refused

  ASSERT_EQ(BuildAudioType(FormatOf(Header640x480(kSystemVideo, kAudioG722_16)), &type), S_OK);
  EXPECT_TRUE(type.majortype == MEDIATYPE_RecorderNoAudio &&
              type.subtype == MEDIASUBTYPE_RecorderNoAudio && type.cbFormat == 0);
  EXPECT_TRUE(type.IsFixedSize() && type.lSampleSize == 1 && !type.IsTemporalCompressed());
  EXPECT_TRUE(IsAudioOutputType(type));
}

TEST(SplitterFilter, OutputsOfferNothingBeforeTheInputIsConnected) {
  Splitter s;
  CMediaType type;
  EXPECT_EQ(s.filter->GetPinCount(), 3);
  EXPECT_EQ(s.filter->GetPin(3), nullptr);
  EXPECT_EQ(s.Video()->GetMediaType(0, &type), VFW_S_NO_MORE_ITEMS);
  EXPECT_EQ(s.Audio()->GetMediaType(0, &type), E_FAIL);
  EXPECT_EQ(s.Audio()->GetMediaType(1, &type), VFW_S_NO_MORE_ITEMS);
  EXPECT_EQ(s.Video()->CheckMediaType(nullptr), E_FAIL);
}

TEST(SplitterFilter, AnAllocatorThatGrantsFewerBuffersRefusesTheConnection) {
  Splitter s;
  auto* allocator = new StingyAllocator;
  ComPtr<IMemAllocator> held;
  allocator->NonDelegatingQueryInterface(IID_IMemAllocator, held.ReleaseAndGetVoidAddress());
  ALLOCATOR_PROPERTIES props{};
  auto* video = static_cast<CSplitterOutputPin*>(s.Video());
  EXPECT_EQ(video->DecideBufferSize(held.Get(), &props), E_FAIL);
}

// Upstream → splitter → a sink on each output, pushed in 2048-byte samples.
class SplitterGraph : public ::testing::Test {
 protected:
  void SetUp() override {
    header_ = MakeFileHeader(kSystemVideoAudio, kAudioG722_32);
    upstream_ = new UpstreamFilter(header_);
    upstreamHeld_ = Hold(upstream_);
    videoSink_ = new RecordingSink;
    audioSink_ = new RecordingSink;
    sinksHeld_[0] = Hold(videoSink_);
    sinksHeld_[1] = Hold(audioSink_);
    ASSERT_EQ(upstream_->GetPin(0)->Connect(splitter_.Input(), nullptr), S_OK);
    ASSERT_EQ(splitter_.Video()->Connect(videoSink_->GetPin(0), nullptr), S_OK);
    ASSERT_EQ(splitter_.Audio()->Connect(audioSink_->GetPin(0), nullptr), S_OK);
  }
  void TearDown() override {
    // Connected pins hold each other's filters: break every connection so all are freed.
    for (CBasePin* pin : {upstream_->GetPin(0), splitter_.Input(), splitter_.Video(),
                          splitter_.Audio(), videoSink_->GetPin(0), audioSink_->GetPin(0)})
      pin->Disconnect();
  }
  void PauseAll() {
    for (IBaseFilter* f : {sinksHeld_[0].Get(), sinksHeld_[1].Get(), splitter_.held.Get(),
                           upstreamHeld_.Get()})
      ASSERT_EQ(f->Pause(), S_OK);
  }
  void StopAll() {
    for (IBaseFilter* f : {upstreamHeld_.Get(), splitter_.held.Get(), sinksHeld_[0].Get(),
                           sinksHeld_[1].Get()})
      ASSERT_EQ(f->Stop(), S_OK);
  }

  FileHeader header_;
  Splitter splitter_;
  UpstreamFilter* upstream_ = nullptr;
  RecordingSink* videoSink_ = nullptr;
  RecordingSink* audioSink_ = nullptr;
  ComPtr<IBaseFilter> upstreamHeld_;
  ComPtr<IBaseFilter> sinksHeld_[2];
};

TEST_F(SplitterGraph, TheStreamArrivesAsTheParserCutsIt) {
  StreamBuilder stream;
  for (int i = 0; i < 30; ++i)
    stream.AddGroup(MakeGroupSpec(i % 10 ? kFrameTypeOther : kFrameTypeKey, 1, 160, 1, 3000 + i));
  const auto headerBytes = Serialize(header_);

  PauseAll();
  ASSERT_EQ(upstream_->Push(headerBytes), S_OK);  // the header comes first, as its own sample
  ASSERT_EQ(upstream_->Push(stream.Bytes()), S_OK);
  EXPECT_EQ(splitter_.Input()->EndOfStream(), S_OK);
  EXPECT_EQ(splitter_.Input()->BeginFlush(), E_UNEXPECTED);
  StopAll();

  ParserHarness expected(kSystemVideoAudio, kAudioG722_32, CSplitterOutputPin::kBufferSize);
  (void)expected.Push(headerBytes);
  expected.PushEvery(stream.Bytes(), UpstreamFilter::kSampleSize);
  EXPECT_EQ(videoSink_->Samples(), expected.video.delivered);
  auto audio = audioSink_->Samples();
  ASSERT_EQ(audio.size(), expected.audio.delivered.size());
  for (size_t i = 0; i < audio.size(); ++i) {
    // Bytes 4 to 15 of an audio sample are whatever the allocator's buffer held.
    std::copy_n(expected.audio.delivered[i].bytes.begin() + 4, 12, audio[i].bytes.begin() + 4);
    EXPECT_TRUE(audio[i] == expected.audio.delivered[i]) << i;
  }
  EXPECT_EQ(videoSink_->Samples().size(), 30u);
}

TEST_F(SplitterGraph, StopBetweenTwoHalvesOfAGroupStartsAnew) {
  StreamBuilder stream;
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 1, 160, 1, 100));
  const size_t cut = stream.Bytes().size() + 60;
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 1, 160, 1, 100));
  const std::span<const uint8_t> bytes(stream.Bytes());

  PauseAll();
  ASSERT_EQ(upstream_->Push(bytes.first(cut)), S_OK);
  StopAll();
  PauseAll();
  ASSERT_EQ(upstream_->Push(bytes.subspan(cut)), S_OK);  // no group start: nothing
  ASSERT_EQ(upstream_->Push(bytes), S_OK);
  StopAll();
  const auto video = videoSink_->Samples();
  ASSERT_EQ(video.size(), 3u);
  EXPECT_EQ(video[1].start, 0);  // clocks restarted at the Stop
  EXPECT_EQ(audioSink_->Samples().size(), 4u + 3u + 1u + 1u);
  EXPECT_EQ(splitter_.filter->VideoClock(), 0);  // and again at the last Stop
}

TEST_F(SplitterGraph, AFailedAudioDeliveryReachesUpstreamOnlyFromAPendingGroup) {
  StreamBuilder stream;
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 1, 160, 1, 3000));
  audioSink_->receiveStatus = E_FAIL;
  PauseAll();
  // 2048 + the rest: the group completes from the pending bytes with nothing after it.
  EXPECT_EQ(upstream_->Push(stream.Bytes()), E_FAIL);
  StopAll();
  EXPECT_TRUE(videoSink_->Samples().empty());
}

TEST_F(SplitterGraph, OutputSeekingReachesUpstreamWithTheStreamsAdjustments) {
  ComPtr<IMediaSeeking> seeking;
  ASSERT_EQ(splitter_.Video()->QueryInterface(IID_IMediaSeeking, seeking.ReleaseAndGetVoidAddress()),
            S_OK);
  EXPECT_EQ(splitter_.Audio()->QueryInterface(IID_IMediaSeeking, nullptr), E_POINTER);
  LONGLONG value = 0;
  EXPECT_EQ(seeking->GetCurrentPosition(&value), S_OK);
  EXPECT_EQ(value, 160'000'000);
  EXPECT_EQ(seeking->GetStopPosition(&value), S_OK);
  EXPECT_EQ(value, UpstreamSeekingAnswers::kDuration);
  EXPECT_EQ(seeking->SetPositions(&value, 0, nullptr, 0), S_OK);  // upstream: E_NOTIMPL
  EXPECT_EQ(seeking->SetRate(2.0), S_OK);
  EXPECT_EQ(seeking->GetTimeFormat(nullptr), E_NOTIMPL);      // others pass the status on
  LONGLONG converted = -5;
  EXPECT_EQ(seeking->ConvertTimeFormat(&converted, nullptr, 7, nullptr), S_OK);
  EXPECT_EQ(converted, -5);

  StreamBuilder stream;
  stream.AddGroup(MakeGroupSpec(kFrameTypeKey, 0, 0, 3, 10));
  PauseAll();
  ASSERT_EQ(upstream_->Push(stream.Bytes()), S_OK);
  LONGLONG current = 0, stop = 0;
  (void)seeking->GetPositions(&current, &stop);
  EXPECT_EQ(current, 1'200'000);  // the video clock: the upstream wrote nothing
  StopAll();
}
