// The AVI Mux and the File writer: uncompressed video and PCM multiplexed into a file that
// libavformat reads back; the new free input; the muxed position; a run stopped early still
// leaves a playable file; the writer's name and state rules.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "AviMux.h"
#include "AviReadBack.h"
#include "FileWriter.h"
#include "TestKit.h"

using namespace filter_test;

namespace {

struct MuxChain {
  MuxChain(const VideoSourceOptions& video, const AudioSourceOptions& audio,
           const std::filesystem::path& path) {
    videoSource = new VideoSource(video);
    audioSource = new AudioSource(audio);
    mux = new AviMux(nullptr);
    writer = new FileWriter(nullptr);
    v = Hold(videoSource);
    a = Hold(audioSource);
    m = Hold(mux);
    w = Hold(writer);
    w->JoinFilterGraph(&graph, u"File writer");
    m->JoinFilterGraph(&graph, u"AVI Mux");
    EXPECT_EQ(S_OK, writer->SetFileName(path.u16string().c_str(), nullptr));
    EXPECT_EQ(S_OK, Connect(videoSource->Output(), PinAt(m.Get(), 0).Get()));
    // The first input is taken: the free one comes before the output.
    EXPECT_EQ(S_OK, Connect(audioSource->Output(), PinAt(m.Get(), 1).Get()));
    EXPECT_EQ(4, mux->GetPinCount());
    EXPECT_EQ(S_OK, Connect(PinAt(m.Get(), 3).Get(), PinAt(w.Get(), 0).Get()));
  }
  void Run() { RunAll({w.Get(), m.Get(), v.Get(), a.Get()}, nullptr); }
  void Stop() { StopAll({w.Get(), m.Get(), v.Get(), a.Get()}); }

  EventGraph graph;
  VideoSource* videoSource;
  AudioSource* audioSource;
  AviMux* mux;
  FileWriter* writer;
  ComPtr<IBaseFilter> v, a, m, w;
};

std::filesystem::path TempFile(const char* name) {
  return std::filesystem::temp_directory_path() /
         (std::string("recast-") + std::to_string(getpid()) + "-" + name);
}

}  // namespace

TEST(AviMuxTest, WritesVideoAndPcmThatLibavformatReadsBack) {
  const auto path = TempFile("raw.avi");
  constexpr int kFrames = 50;  // 2 s
  MuxChain chain({.frames = kFrames, .width = 64, .height = 48},
                 {.buffers = kFrames, .sampleRate = 8000}, path);
  chain.Run();
  ASSERT_TRUE(chain.graph.WaitFor(EC_COMPLETE));
  ComPtr<IMediaSeeking> seeking;
  ASSERT_EQ(S_OK, chain.m.As(seeking));
  LONGLONG position = 0;
  EXPECT_EQ(S_OK, seeking->GetCurrentPosition(&position));
  EXPECT_EQ(kFrames * kFrameDuration, position);
  // The writer answers through its pass-through: the graph's position for a conversion.
  ComPtr<IMediaSeeking> writerSeeking;
  ASSERT_EQ(S_OK, chain.w.As(writerSeeking));
  EXPECT_EQ(S_OK, writerSeeking->GetCurrentPosition(&position));
  EXPECT_EQ(kFrames * kFrameDuration, position);
  chain.Stop();

  const AviSummary avi = ReadAvi(path);
  ASSERT_TRUE(avi.opened);
  EXPECT_EQ("rawvideo", avi.videoCodec);
  EXPECT_EQ(64, avi.width);
  EXPECT_EQ(48, avi.height);
  EXPECT_EQ(kFrames, avi.videoFrames);
  EXPECT_EQ("pcm_s16le", avi.audioCodec);
  EXPECT_EQ(8000, avi.sampleRate);
  EXPECT_EQ(kFrames * 320, avi.audioSamples);
  EXPECT_NEAR(2.0, avi.durationSeconds, 0.05);
  std::filesystem::remove(path);
}

TEST(AviMuxTest, AStopBeforeTheEndStillLeavesAPlayableFile) {
  const auto path = TempFile("stopped.avi");
  // Paced by nothing but a source far longer than the test waits.
  MuxChain chain({.frames = 100000, .width = 32, .height = 32}, {.buffers = 100000}, path);
  chain.Run();
  // Some frames muxed, far from all of them.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (chain.mux->MuxedTime() < 10 * kFrameDuration && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  chain.Stop();
  const AviSummary avi = ReadAvi(path);
  ASSERT_TRUE(avi.opened);
  EXPECT_GT(avi.videoFrames, 0);
  EXPECT_EQ(0, chain.graph.Count(EC_COMPLETE));
  std::filesystem::remove(path);
}

// A full disk (every write to /dev/full fails with ENOSPC): the run is aborted, and neither
// the mux nor the writer reports completion of the broken file.
TEST(AviMuxTest, AFileThatCannotBeWrittenAbortsTheRunWithoutCompletion) {
  MuxChain chain({.frames = 50, .width = 32, .height = 32}, {.buffers = 50}, "/dev/full");
  chain.Run();
  ASSERT_TRUE(chain.graph.WaitFor(EC_ERRORABORT));
  chain.Stop();
  EXPECT_EQ(0, chain.graph.Count(EC_COMPLETE));
}

TEST(AviMuxTest, RefusesTypesAnAviCannotHold) {
  auto* mux = new AviMux(nullptr);
  ComPtr<IBaseFilter> held = Hold(mux);
  CMediaType stream(MEDIATYPE_Stream);
  ComPtr<IPin> input = PinAt(held.Get(), 0);
  EXPECT_EQ(S_FALSE, input->QueryAccept(&stream));
  CMediaType unknownVideo(MEDIATYPE_Video);
  unknownVideo.SetFormatType(&FORMAT_VideoInfo);
  VIDEOINFOHEADER vih{};
  vih.bmiHeader.biWidth = 16;
  vih.bmiHeader.biHeight = 16;
  vih.bmiHeader.biCompression = MakeFourCC('Q', 'Q', 'Q', 'Q');
  unknownVideo.SetFormat(reinterpret_cast<const BYTE*>(&vih), sizeof(vih));
  EXPECT_EQ(S_FALSE, input->QueryAccept(&unknownVideo));
  vih.bmiHeader.biCompression = MakeFourCC('X', 'V', 'I', 'D');
  unknownVideo.SetFormat(reinterpret_cast<const BYTE*>(&vih), sizeof(vih));
  EXPECT_EQ(S_OK, input->QueryAccept(&unknownVideo));
}

TEST(FileWriterTest, NeedsANameAndTakesItOnlyWhileStopped) {
  auto* writer = new FileWriter(nullptr);
  ComPtr<IBaseFilter> held = Hold(writer);
  LPOLESTR name = nullptr;
  EXPECT_EQ(E_FAIL, writer->GetCurFile(&name, nullptr));
  EXPECT_EQ(E_FAIL, held->Pause());  // no file to create
  const auto path = TempFile("empty.avi");
  ASSERT_EQ(S_OK, writer->SetFileName(path.u16string().c_str(), nullptr));
  ASSERT_EQ(S_OK, held->Pause());
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(VFW_E_WRONG_STATE, writer->SetFileName(u"/tmp/other.avi", nullptr));
  held->Stop();
  ASSERT_EQ(S_OK, writer->GetCurFile(&name, nullptr));
  EXPECT_EQ(path.u16string(), std::u16string(name));
  CoTaskMemFree(name);
  ASSERT_EQ(S_OK, writer->SetFileName(u"/nonexistent-folder/x.avi", nullptr));
  EXPECT_TRUE(FAILED(held->Pause()));
  std::filesystem::remove(path);
}

TEST(AviMuxTest, AnInputThatEndsWithoutDataLeavesTheOthersIntact) {
  const auto path = TempFile("silent.avi");
  MuxChain chain({.frames = 10, .width = 32, .height = 32}, {.buffers = 0}, path);
  chain.Run();
  ASSERT_TRUE(chain.graph.WaitFor(EC_COMPLETE));
  chain.Stop();
  const AviSummary avi = ReadAvi(path);
  ASSERT_TRUE(avi.opened);
  EXPECT_EQ(10, avi.videoFrames);
  EXPECT_EQ(0, avi.audioSamples);
  std::filesystem::remove(path);
}

TEST(AviMuxTest, LostAudioBecomesSilenceSoSoundStaysWithThePictures) {
  const auto path = TempFile("gap.avi");
  constexpr int kFrames = 50;
  MuxChain chain({.frames = kFrames, .width = 32, .height = 32},
                 {.buffers = kFrames, .skipFrom = 10, .skipCount = 15}, path);
  chain.Run();
  ASSERT_TRUE(chain.graph.WaitFor(EC_COMPLETE));
  chain.Stop();
  const AviSummary avi = ReadAvi(path);
  EXPECT_EQ(kFrames, avi.videoFrames);
  EXPECT_EQ(kFrames * 320, avi.audioSamples);
  std::filesystem::remove(path);
}

TEST(AviMuxTest, AStopBeforeAnyDataLeavesAnEmptyButValidFile) {
  const auto path = TempFile("nothing.avi");
  MuxChain chain({.frames = 1, .width = 32, .height = 32}, {.buffers = 1}, path);
  // Only the writer and the multiplexer start: nothing arrives before the stop.
  for (IBaseFilter* f : {chain.w.Get(), chain.m.Get()}) f->Pause();
  chain.Stop();
  const AviSummary avi = ReadAvi(path);
  EXPECT_TRUE(avi.opened);
  EXPECT_EQ(0, avi.videoFrames);
  std::filesystem::remove(path);
}
