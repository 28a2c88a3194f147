// The AVI conversion chain as an application wires it, by hand: YV12 source → video encoder →
// AVI Mux ← audio processor ← PCM source, AVI Mux → File writer; the file is read back with
// libavformat.
#include <gtest/gtest.h>

#include <filesystem>

#include "AudioProcessor.h"
#include "AviMux.h"
#include "AviReadBack.h"
#include "ComRuntime.h"
#include "FfdshowIds.h"
#include "FileWriter.h"
#include "ScopedTestRegistry.h"
#include "TestKit.h"
#include "VideoEncoder.h"

using namespace filter_test;

namespace {

constexpr int kFrames = 50;  // 2 s at 25 frames per second
constexpr int kAudioRate = 8000;
constexpr int kSamplesPerBuffer = 320;  // 40 ms at 8 kHz

struct ConversionChain {
  explicit ConversionChain(const std::filesystem::path& path, int frames = kFrames) {
    video = Hold(new VideoSource({.frames = frames}));
    audio = Hold(new AudioSource({.buffers = frames, .sampleRate = kAudioRate}));
    encoder = Hold(new VideoEncoder(nullptr));
    processor = Hold(new AudioProcessor(nullptr));
    mux = Hold(new AviMux(nullptr));
    auto* fileWriter = new FileWriter(nullptr);
    writer = Hold(fileWriter);
    writer->JoinFilterGraph(&graph, u"File writer");
    EXPECT_EQ(S_OK, fileWriter->SetFileName(path.u16string().c_str(), nullptr));
    // The five connections of an AVI build.
    EXPECT_EQ(S_OK, Connect(PinAt(video.Get(), 0).Get(), PinAt(encoder.Get(), 0).Get()));
    EXPECT_EQ(S_OK, Connect(PinAt(encoder.Get(), 1).Get(), PinAt(mux.Get(), 0).Get()));
    EXPECT_EQ(S_OK, Connect(PinAt(mux.Get(), 2).Get(), PinAt(writer.Get(), 0).Get()));
    EXPECT_EQ(S_OK, Connect(PinAt(audio.Get(), 0).Get(), PinAt(processor.Get(), 0).Get()));
    EXPECT_EQ(S_OK, Connect(PinAt(processor.Get(), 1).Get(), PinAt(mux.Get(), 1).Get()));
  }
  void Run() {
    RunAll({writer.Get(), mux.Get(), encoder.Get(), processor.Get(), video.Get(), audio.Get()},
           nullptr);
  }
  void Stop() {
    StopAll({writer.Get(), mux.Get(), encoder.Get(), processor.Get(), video.Get(), audio.Get()});
  }

  EventGraph graph;
  ComPtr<IBaseFilter> video, audio, encoder, processor, mux, writer;
};

std::filesystem::path TempFile(const char* name) {
  return std::filesystem::temp_directory_path() /
         (std::string("recast-") + std::to_string(getpid()) + "-" + name);
}

class AviChainTest : public ::testing::Test {
 protected:
  ScopedTestRegistry registry_;
  std::filesystem::path path_ = TempFile("chain.avi");
  void TearDown() override { std::filesystem::remove(path_); }
};

}  // namespace

TEST_F(AviChainTest, WritesMpeg4AndPcmWithEveryFrameAndTheRightDuration) {
  VideoEncoderSettings settings;
  settings.bitRateKbps = 400;
  settings.keyInterval = 12;
  settings.threads = 2;
  ASSERT_EQ(S_OK, settings.Save());
  ConversionChain chain(path_);
  chain.Run();
  ASSERT_TRUE(chain.graph.WaitFor(EC_COMPLETE));
  LONGLONG position = 0;
  ComPtr<IMediaSeeking> seeking;
  ASSERT_EQ(S_OK, chain.writer.As(seeking));
  seeking->GetCurrentPosition(&position);
  EXPECT_EQ(kFrames * kFrameDuration, position);
  chain.Stop();

  const AviSummary avi = ReadAvi(path_);
  ASSERT_TRUE(avi.opened);
  EXPECT_EQ("mpeg4", avi.videoCodec);
  EXPECT_EQ("FMP4", avi.videoTag);
  EXPECT_EQ(176, avi.width);
  EXPECT_EQ(144, avi.height);
  EXPECT_EQ(kFrames, avi.videoFrames);
  EXPECT_EQ((kFrames + 11) / 12, avi.keyFrames);
  EXPECT_EQ("pcm_s16le", avi.audioCodec);
  EXPECT_EQ(kAudioRate, avi.sampleRate);
  EXPECT_EQ(1, avi.channels);
  EXPECT_EQ(kFrames * kSamplesPerBuffer, avi.audioSamples);
  EXPECT_NEAR(kFrames * 0.04, avi.durationSeconds, 0.04);
}

TEST_F(AviChainTest, QuantiserModeAndFourCCComeFromTheSettings) {
  VideoEncoderSettings settings;
  settings.quantizer = 4;
  settings.fourCC = "XVID";
  ASSERT_EQ(S_OK, settings.Save());
  ConversionChain chain(path_, 10);
  chain.Run();
  ASSERT_TRUE(chain.graph.WaitFor(EC_COMPLETE));
  chain.Stop();
  const AviSummary avi = ReadAvi(path_);
  EXPECT_EQ("mpeg4", avi.videoCodec);
  EXPECT_EQ("XVID", avi.videoTag);
  EXPECT_EQ(10, avi.videoFrames);
}

TEST_F(AviChainTest, AFileWithoutAudioConvertsItsVideo) {
  auto* fileWriter = new FileWriter(nullptr);
  ComPtr<IBaseFilter> video = Hold(new VideoSource({.frames = 20}));
  ComPtr<IBaseFilter> encoder = Hold(new VideoEncoder(nullptr));
  ComPtr<IBaseFilter> mux = Hold(new AviMux(nullptr));
  ComPtr<IBaseFilter> writer = Hold(fileWriter);
  EventGraph graph;
  writer->JoinFilterGraph(&graph, u"File writer");
  fileWriter->SetFileName(path_.u16string().c_str(), nullptr);
  ASSERT_EQ(S_OK, Connect(PinAt(video.Get(), 0).Get(), PinAt(encoder.Get(), 0).Get()));
  ASSERT_EQ(S_OK, Connect(PinAt(encoder.Get(), 1).Get(), PinAt(mux.Get(), 0).Get()));
  ASSERT_EQ(S_OK, Connect(PinAt(mux.Get(), 2).Get(), PinAt(writer.Get(), 0).Get()));
  RunAll({writer.Get(), mux.Get(), encoder.Get(), video.Get()}, nullptr);
  ASSERT_TRUE(graph.WaitFor(EC_COMPLETE));
  StopAll({writer.Get(), mux.Get(), encoder.Get(), video.Get()});
  const AviSummary avi = ReadAvi(path_);
  EXPECT_EQ(20, avi.videoFrames);
  EXPECT_TRUE(avi.audioCodec.empty());
}

TEST(VideoEncoderTest, RefusesOddSizesAndListsNoPropertyPagesYet) {
  auto* encoder = new VideoEncoder(nullptr);
  ComPtr<IBaseFilter> held = Hold(encoder);
  CMediaType odd;
  odd.SetType(&MEDIATYPE_Video);
  odd.SetSubtype(&MEDIASUBTYPE_YV12);
  odd.SetFormatType(&FORMAT_VideoInfo);
  VIDEOINFOHEADER vih{};
  vih.bmiHeader.biWidth = 175;
  vih.bmiHeader.biHeight = 144;
  odd.SetFormat(reinterpret_cast<const BYTE*>(&vih), sizeof(vih));
  EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, encoder->CheckInputType(&odd));

  ComPtr<ISpecifyPropertyPages> pages;
  ASSERT_EQ(S_OK, held.As(pages));
  CAUUID list{7, nullptr};
  ASSERT_EQ(S_OK, pages->GetPages(&list));
  ASSERT_EQ(1u, list.cElems);
  EXPECT_EQ(CLSID_FfdshowVideoEncoderPage, list.pElems[0]);
  CoTaskMemFree(list.pElems);
}
