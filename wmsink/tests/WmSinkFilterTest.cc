// The ASF writer filter driven as a graph would drive it: pins connected to hand-fed output
// pins, state changes, samples, end of stream and the events that follow.
#include "WmSinkFilter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "ComRuntime.h"
#include "TestFilters.h"
#include "WideString.h"

namespace {

using dshow_test::TestGraph;

constexpr LONG kWidth = 176;
constexpr LONG kHeight = 144;
constexpr REFERENCE_TIME kFrameTime = 400000;
constexpr LONG kPictureBytes = kWidth * kHeight * 3 / 2;
constexpr LONG kAudioBytes = 640 * 2;  // 40 ms at 16 kHz mono

DEFINE_GUID(CLSID_PushFilter, 0x5E0C1A01, 0x2222, 0x4A4A, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x01);

CMediaType VideoType(const GUID& subtype = MEDIASUBTYPE_YV12) {
  VIDEOINFOHEADER info{};
  info.AvgTimePerFrame = kFrameTime;
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = kHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = subtype == MEDIASUBTYPE_RGB8 ? 8 : 12;
  info.bmiHeader.biCompression = subtype == MEDIASUBTYPE_RGB8 ? BI_RGB : subtype.Data1;
  info.bmiHeader.biSizeImage = kPictureBytes;
  CMediaType mt;
  mt.majortype = MEDIATYPE_Video;
  mt.subtype = subtype;
  mt.formattype = FORMAT_VideoInfo;
  mt.SetFormat(reinterpret_cast<BYTE*>(&info), sizeof info);
  return mt;
}

CMediaType AudioType() {
  WAVEFORMATEX wave{WAVE_FORMAT_PCM, 1, 16000, 32000, 2, 16, 0};
  CMediaType mt;
  mt.majortype = MEDIATYPE_Audio;
  mt.subtype = MEDIASUBTYPE_PCM;
  mt.formattype = FORMAT_WaveFormatEx;
  mt.SetFormat(reinterpret_cast<BYTE*>(&wave), sizeof wave);
  return mt;
}

// An output pin the test feeds by hand.
class PushPin final : public CBaseOutputPin {
 public:
  PushPin(CBaseFilter* filter, CCritSec* lock, const CMediaType& mt, LONG size)
      : CBaseOutputPin("push pin", filter, lock, &m_hr, u"Output"), m_type(mt), m_size(size) {}

  HRESULT CheckMediaType(const CMediaType* pmt) override {
    return pmt && *pmt == m_type ? S_OK : E_FAIL;
  }
  HRESULT GetMediaType(int position, CMediaType* pmt) override {
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    *pmt = m_type;
    return S_OK;
  }
  HRESULT DecideBufferSize(IMemAllocator* alloc, ALLOCATOR_PROPERTIES* props) override {
    props->cBuffers = 2;
    props->cbBuffer = m_size;
    ALLOCATOR_PROPERTIES actual{};
    return alloc->SetProperties(props, &actual);
  }
  HRESULT Push(REFERENCE_TIME start, REFERENCE_TIME stop, bool sync = true) {
    IMediaSample* sample = nullptr;
    if (HRESULT hr = GetDeliveryBuffer(&sample, nullptr, nullptr, 0); FAILED(hr)) return hr;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    for (LONG i = 0; i < m_size; ++i) data[i] = static_cast<BYTE>(i + start / kFrameTime);
    sample->SetActualDataLength(m_size);
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(sync);
    const HRESULT hr = Deliver(sample);
    sample->Release();
    return hr;
  }

 private:
  HRESULT m_hr = S_OK;
  const CMediaType m_type;
  const LONG m_size;
};

class PushFilter final : public CBaseFilter {
 public:
  PushFilter(const CMediaType& mt, LONG size)
      : CBaseFilter("push filter", nullptr, &m_lock, CLSID_PushFilter),
        m_pin(this, &m_lock, mt, size) {}
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override { return n == 0 ? &m_pin : nullptr; }
  PushPin* Pin() { return &m_pin; }

 private:
  CCritSec m_lock;
  PushPin m_pin;
};

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "wmsinkfXXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::u16string File(const char* name) const { return Utf8ToWide((path_ / name).string()); }

 private:
  std::filesystem::path path_;
};

class WmSinkFilterTest : public ::testing::Test {
 protected:
  WmSinkFilterTest() {
    HRESULT hr = S_OK;
    sink_ = static_cast<CWmSinkFilter*>(CWmSinkFilter::CreateInstance(nullptr, &hr));
    sink_->NonDelegatingQueryInterface(IID_IBaseFilter, held_.ReleaseAndGetVoidAddress());
    sink_->JoinFilterGraph(&graph_, u"ASF Writer");
    video_ = new PushFilter(VideoType(), kPictureBytes);
    audio_ = new PushFilter(AudioType(), kAudioBytes);
    pushers_ = {dshow_test::Hold(video_), dshow_test::Hold(audio_)};
  }
  ~WmSinkFilterTest() override {
    SetState(State_Stopped);
    for (PushFilter* f : {video_, audio_}) f->Pin()->Disconnect();
    for (int i = 0; i < 2; ++i) sink_->GetPin(i)->Disconnect();
    sink_->JoinFilterGraph(nullptr, nullptr);
  }

  void Configure(bool audio) {
    WmSinkConfig config{kWidth, kHeight, 25, 300000, audio ? TRUE : FALSE, TRUE};
    ASSERT_EQ(Config()->SetConfig(&config), S_OK);
    ASSERT_EQ(FileSink()->SetFileName(dir_.File("out.wmv").c_str(), nullptr), S_OK);
  }
  HRESULT ConnectVideo() { return video_->Pin()->Connect(sink_->GetPin(0), nullptr); }
  HRESULT ConnectAudio() { return audio_->Pin()->Connect(sink_->GetPin(1), nullptr); }
  // Sink first, then the sources, as a graph changes states.
  void SetState(FILTER_STATE state) {
    for (CBaseFilter* f : {static_cast<CBaseFilter*>(sink_), static_cast<CBaseFilter*>(video_),
                           static_cast<CBaseFilter*>(audio_)}) {
      const HRESULT hr = state == State_Stopped ? f->Stop()
                         : state == State_Paused ? f->Pause()
                                                 : f->Run(0);
      EXPECT_TRUE(SUCCEEDED(hr)) << state;
    }
  }
  ComPtr<IWmSinkConfig> Config() { return held_.As<IWmSinkConfig>(); }
  ComPtr<IFileSinkFilter> FileSink() { return held_.As<IFileSinkFilter>(); }
  DWORD Written() {
    DWORD frames = 0;
    EXPECT_EQ(Config()->GetWrittenFrames(999, &frames), S_OK);
    return frames;
  }

  TempDir dir_;
  TestGraph graph_;
  CWmSinkFilter* sink_ = nullptr;
  ComPtr<IBaseFilter> held_;
  PushFilter* video_;  // held by pushers_ (filters start without a reference)
  PushFilter* audio_;
  std::vector<ComPtr<IBaseFilter>> pushers_;
};

TEST_F(WmSinkFilterTest, TwoNamedPinsAndItsInterfaces) {
  ASSERT_EQ(sink_->GetPinCount(), 2);
  EXPECT_EQ(sink_->GetPin(0)->Name(), u"Video In");
  EXPECT_EQ(sink_->GetPin(1)->Name(), u"Audio In");
  EXPECT_TRUE(held_.As<IMediaSeeking>());
  EXPECT_TRUE(held_.As<IMediaPosition>());
  EXPECT_TRUE(Config());
  EXPECT_TRUE(FileSink());
  EXPECT_EQ(held_->QueryInterface(IID_IWmSinkConfig, nullptr), E_POINTER);
  EXPECT_EQ(Config()->SetConfig(nullptr), E_POINTER);
}

TEST_F(WmSinkFilterTest, PinsTakeUncompressedVideoAndPcmOnly) {
  auto* video = static_cast<CWmSinkInputPin*>(sink_->GetPin(0));
  auto* audio = static_cast<CWmSinkInputPin*>(sink_->GetPin(1));
  EXPECT_EQ(video->CheckMediaType(nullptr), E_POINTER);
  for (const GUID* subtype : {&MEDIASUBTYPE_IYUV, &MEDIASUBTYPE_YV12, &MEDIASUBTYPE_RGB24,
                              &MEDIASUBTYPE_RGB8}) {
    CMediaType mt = VideoType(*subtype);
    EXPECT_EQ(video->CheckMediaType(&mt), S_OK);
  }
  CMediaType audio_type = AudioType();
  EXPECT_EQ(audio->CheckMediaType(&audio_type), S_OK);
  EXPECT_EQ(video->CheckMediaType(&audio_type), E_FAIL);
  audio_type.formattype = FORMAT_VideoInfo;
  EXPECT_EQ(audio->CheckMediaType(&audio_type), E_FAIL);
}

TEST_F(WmSinkFilterTest, PauseNeedsAConnectedPin) {
  Configure(true);
  EXPECT_EQ(sink_->Pause(), E_UNEXPECTED);
  EXPECT_FALSE(std::filesystem::exists(WideToUtf8(dir_.File("out.wmv"))));
}

TEST_F(WmSinkFilterTest, ConnectionsNeedAWriterWithTheFormat) {
  EXPECT_TRUE(FAILED(ConnectVideo()));  // no SetConfig yet: no writer
  EXPECT_FALSE(sink_->GetPin(0)->IsConnected());
  Configure(true);
  auto* palette = new PushFilter(VideoType(MEDIASUBTYPE_RGB8), kWidth * kHeight);
  const auto held = dshow_test::Hold(palette);
  EXPECT_EQ(palette->Pin()->Connect(sink_->GetPin(0), nullptr), NS_E_INVALID_INPUT_FORMAT);
  EXPECT_EQ(ConnectVideo(), S_OK);
}

TEST_F(WmSinkFilterTest, FileNamesThatDoNotFitAreRefused) {
  ASSERT_EQ(FileSink()->SetFileName(u"first.wmv", nullptr), S_OK);
  const std::u16string long_name(300, u'a');
  EXPECT_EQ(FileSink()->SetFileName(long_name.c_str(), nullptr),
            HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
  LPOLESTR name = nullptr;
  AM_MEDIA_TYPE mt;
  mt.cbFormat = 5;
  ASSERT_EQ(FileSink()->GetCurFile(&name, &mt), S_OK);
  EXPECT_EQ(std::u16string(name), u"first.wmv");
  EXPECT_EQ(mt.cbFormat, 0u);
  CoTaskMemFree(name);
  const std::u16string longest(259, u'b');
  EXPECT_EQ(FileSink()->SetFileName(longest.c_str(), nullptr), S_OK);
  ASSERT_EQ(FileSink()->GetCurFile(&name, nullptr), S_OK);
  EXPECT_EQ(std::u16string(name), longest);
  CoTaskMemFree(name);
  EXPECT_EQ(FileSink()->GetCurFile(nullptr, nullptr), E_POINTER);
}

int VideoPackets(const std::string& path) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return -1;
  avformat_find_stream_info(format, nullptr);
  int packets = 0;
  AVPacket* packet = av_packet_alloc();
  while (av_read_frame(format, packet) >= 0) {
    if (format->streams[packet->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
      ++packets;
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  avformat_close_input(&format);
  return packets;
}

TEST_F(WmSinkFilterTest, RunsWriteTheFileAndCompleteOncePerRun) {
  Configure(true);
  ASSERT_EQ(ConnectVideo(), S_OK);
  ASSERT_EQ(ConnectAudio(), S_OK);
  SetState(State_Paused);
  SetState(State_Running);
  // Audio stamped from 5 s on is laid out from 0 by its durations.
  const REFERENCE_TIME audio_start = 50000000;
  for (int i = 0; i < 25; ++i) {
    ASSERT_EQ(video_->Pin()->Push(i * kFrameTime, (i + 1) * kFrameTime), S_OK);
    ASSERT_EQ(audio_->Pin()->Push(audio_start + i * kFrameTime, audio_start + (i + 1) * kFrameTime),
              S_OK);
    EXPECT_EQ(sink_->Context().AudioTime(), (i + 1) * kFrameTime);
  }
  EXPECT_EQ(Written(), 25u);
  ASSERT_EQ(video_->Pin()->DeliverEndOfStream(), S_OK);
  EXPECT_EQ(graph_.Count(EC_COMPLETE), 0);  // audio has not ended yet
  ASSERT_EQ(audio_->Pin()->DeliverEndOfStream(), S_OK);
  EXPECT_EQ(graph_.Count(EC_COMPLETE), 1);
  ASSERT_EQ(audio_->Pin()->DeliverEndOfStream(), S_OK);
  EXPECT_EQ(graph_.Count(EC_COMPLETE), 1);
  SetState(State_Stopped);
  EXPECT_EQ(VideoPackets(WideToUtf8(dir_.File("out.wmv"))), 25);

  // A second run: the count goes on, and completion waits for both pins again.
  SetState(State_Paused);
  SetState(State_Running);
  for (int i = 0; i < 10; ++i) ASSERT_EQ(video_->Pin()->Push(i * kFrameTime, (i + 1) * kFrameTime), S_OK);
  EXPECT_EQ(Written(), 35u);
  ASSERT_EQ(video_->Pin()->DeliverEndOfStream(), S_OK);
  ASSERT_EQ(audio_->Pin()->DeliverEndOfStream(), S_OK);
  EXPECT_EQ(graph_.Count(EC_COMPLETE), 2);
  SetState(State_Stopped);
  EXPECT_EQ(VideoPackets(WideToUtf8(dir_.File("out.wmv"))), 10);
}

// A file on a full disk (every write to /dev/full fails): what cannot be written aborts the
// run, and what only fails when the file is finished at Stop is reported then; neither gives
// a completion after the failure.
TEST_F(WmSinkFilterTest, WritingThatFailsAbortsTheRun) {
  Configure(false);
  ASSERT_EQ(FileSink()->SetFileName(u"/dev/full", nullptr), S_OK);
  ASSERT_EQ(ConnectVideo(), S_OK);
  SetState(State_Paused);
  SetState(State_Running);
  // Nothing written yet: the file only fails when it is finished.
  ASSERT_EQ(video_->Pin()->DeliverEndOfStream(), S_OK);
  EXPECT_EQ(graph_.Count(EC_COMPLETE), 1);
  SetState(State_Stopped);
  EXPECT_EQ(graph_.Count(EC_ERRORABORT), 1);

  SetState(State_Paused);
  SetState(State_Running);
  HRESULT pushed = S_OK;
  for (int i = 0; i < 500 && SUCCEEDED(pushed); ++i)
    pushed = video_->Pin()->Push(i * kFrameTime, (i + 1) * kFrameTime);
  EXPECT_TRUE(FAILED(pushed));
  EXPECT_EQ(graph_.Count(EC_ERRORABORT), 2);
  ASSERT_EQ(video_->Pin()->DeliverEndOfStream(), S_OK);
  SetState(State_Stopped);
  EXPECT_EQ(graph_.Count(EC_COMPLETE), 1);  // none for the aborted run
  EXPECT_EQ(graph_.Count(EC_ERRORABORT), 2);  // once per run
}

TEST_F(WmSinkFilterTest, VideoAndAudioFromTwoThreadsCompleteOnce) {
  Configure(true);
  ASSERT_EQ(ConnectVideo(), S_OK);
  ASSERT_EQ(ConnectAudio(), S_OK);
  SetState(State_Paused);
  SetState(State_Running);
  constexpr int kSamples = 50;
  const auto feed = [](PushFilter* filter) {
    for (int i = 0; i < kSamples; ++i)
      EXPECT_EQ(filter->Pin()->Push(i * kFrameTime, (i + 1) * kFrameTime), S_OK);
    EXPECT_EQ(filter->Pin()->DeliverEndOfStream(), S_OK);
  };
  std::thread video(feed, video_);
  std::thread audio(feed, audio_);
  video.join();
  audio.join();
  EXPECT_TRUE(graph_.WaitFor(EC_COMPLETE));
  EXPECT_EQ(graph_.Count(EC_COMPLETE), 1);
  EXPECT_EQ(Written(), DWORD{kSamples});
  EXPECT_EQ(sink_->Context().AudioTime(), kSamples * kFrameTime);
  SetState(State_Stopped);
  EXPECT_EQ(VideoPackets(WideToUtf8(dir_.File("out.wmv"))), kSamples);
}

TEST_F(WmSinkFilterTest, VideoAloneCompletesAndIsNotHeldBack) {
  Configure(false);
  ASSERT_EQ(ConnectVideo(), S_OK);
  SetState(State_Paused);
  SetState(State_Running);
  // Far ahead of an audio time that never moves: nothing to wait for without audio.
  for (int i = 0; i < 10; ++i)
    ASSERT_EQ(video_->Pin()->Push((100 + i) * kFrameTime, (101 + i) * kFrameTime), S_OK);
  EXPECT_TRUE(sink_->Context().VideoAhead());
  ASSERT_EQ(video_->Pin()->DeliverEndOfStream(), S_OK);
  EXPECT_EQ(graph_.Count(EC_COMPLETE), 1);
}

TEST_F(WmSinkFilterTest, VideoMoreThanASecondAheadOfAudioIsSlowed) {
  Configure(true);
  ASSERT_EQ(ConnectVideo(), S_OK);
  ASSERT_EQ(ConnectAudio(), S_OK);
  SetState(State_Paused);
  SetState(State_Running);
  constexpr int kAhead = 20;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kAhead; ++i)  // three seconds on, audio still at 0
    ASSERT_EQ(video_->Pin()->Push((75 + i) * kFrameTime, (76 + i) * kFrameTime), S_OK);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kAhead));
}

}  // namespace
