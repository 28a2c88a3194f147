// The renderers: frame counts, pacing against a clock, painting into a frame sink, frame
// stepping, and the audio renderer as the graph's clock.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "AudioRenderer.h"
#include "FrameSink.h"
#include "SystemClock.h"
#include "TestKit.h"
#include "VideoRenderer.h"

using namespace filter_test;

namespace {

constexpr HWND kPreviewWindow = 0x5150;
constexpr double kPacingTolerance = 0.8;  // paced runs take at least this share of their span

struct PaintLog {
  std::atomic<int> pictures{0};
  std::atomic<int> width{0};
  std::atomic<int64_t> lastTimeMs{-1};
};

void RecordPaint(void* context, HWND, const FramePicture& picture) {
  auto* log = static_cast<PaintLog*>(context);
  log->width = picture.width;
  log->lastTimeMs = picture.timeMs;
  ++log->pictures;
}

struct VideoChain {
  explicit VideoChain(const VideoSourceOptions& options) {
    HRESULT hr = S_OK;
    source = new VideoSource(options);
    renderer = new VideoRenderer(nullptr, &hr);
    sourceFilter = Hold(source);
    rendererFilter = Hold(renderer);
    rendererFilter->JoinFilterGraph(&graph, u"Video Renderer");
    EXPECT_EQ(S_OK, Connect(source->Output(), renderer->GetPin(0)));
  }
  ~VideoChain() { StopAll({rendererFilter.Get(), sourceFilter.Get()}); }

  EventGraph graph;
  VideoSource* source;
  VideoRenderer* renderer;
  ComPtr<IBaseFilter> sourceFilter;
  ComPtr<IBaseFilter> rendererFilter;
};

}  // namespace

TEST(VideoRendererTest, PacesFramesAgainstTheClockAndPaintsTheOwnersSink) {
  constexpr int kFrames = 10;
  VideoChain chain({.frames = kFrames});
  PaintLog log;
  ASSERT_TRUE(RegisterFrameSink(kPreviewWindow, RecordPaint, &log));
  chain.renderer->put_Owner(kPreviewWindow);
  ComPtr<IReferenceClock> clock;
  (new SystemClock)->NonDelegatingQueryInterface(IID_IReferenceClock, clock.ReleaseAndGetVoidAddress());

  const auto began = std::chrono::steady_clock::now();
  RunAll({chain.rendererFilter.Get(), chain.sourceFilter.Get()}, clock.Get());
  ASSERT_TRUE(chain.graph.WaitFor(EC_COMPLETE));
  const auto took = std::chrono::steady_clock::now() - began;
  UnregisterFrameSink(kPreviewWindow);

  EXPECT_EQ(kFrames, chain.renderer->FramesRendered());
  // Shown while paused, then every frame at its time.
  EXPECT_GE(log.pictures, kFrames);
  EXPECT_EQ(176, log.width);
  EXPECT_EQ((kFrames - 1) * kFrameDuration / 10000, log.lastTimeMs);
  EXPECT_GE(took, kPacingTolerance * (kFrames - 1) * std::chrono::milliseconds(kFrameDuration / 10000));
}

TEST(VideoRendererTest, RendersUnpacedAndHeadlessWithoutAClock) {
  constexpr int kFrames = 200;  // 8 s of video
  VideoChain chain({.frames = kFrames, .width = 64, .height = 48});
  RunAll({chain.rendererFilter.Get(), chain.sourceFilter.Get()}, nullptr);
  ASSERT_TRUE(chain.graph.WaitFor(EC_COMPLETE));
  EXPECT_EQ(kFrames, chain.renderer->FramesRendered());
  EXPECT_EQ(0, chain.renderer->FramesPainted());
}

TEST(VideoRendererTest, ReportsTheConnectedSizeAndKeepsWindowProperties) {
  HRESULT hr = S_OK;
  auto* renderer = new VideoRenderer(nullptr, &hr);
  ComPtr<IBaseFilter> held = Hold(renderer);
  LONG width = 0;
  EXPECT_EQ(VFW_E_NOT_CONNECTED, renderer->get_VideoWidth(&width));
  EXPECT_EQ(S_FALSE, renderer->CanStep(0, nullptr));
  {
    VideoChain chain({.width = 176, .height = 120});
    LONG height = 0;
    ASSERT_EQ(S_OK, chain.renderer->GetVideoSize(&width, &height));
    EXPECT_EQ(176, width);
    EXPECT_EQ(120, height);
    chain.renderer->SetWindowPosition(0, 0, 320, 240);
    LONG left, top, w, h;
    chain.renderer->GetDestinationPosition(&left, &top, &w, &h);
    EXPECT_EQ(320, w);
    EXPECT_EQ(240, h);
    EXPECT_EQ(S_OK, chain.renderer->CanStep(0, nullptr));
    // Stepping needs a paused renderer.
    EXPECT_EQ(VFW_E_WRONG_STATE, chain.renderer->Step(1, nullptr));
  }
}

TEST(VideoRendererTest, StepsOneFrameAtATimeWhilePaused) {
  VideoChain chain({.frames = 10});
  chain.rendererFilter->Pause();
  chain.sourceFilter->Pause();
  FILTER_STATE state;
  ASSERT_EQ(S_OK, chain.rendererFilter->GetState(static_cast<DWORD>(kWait / 1ms), &state));
  EXPECT_EQ(0, chain.renderer->FramesRendered());

  ASSERT_EQ(S_OK, chain.renderer->Step(1, nullptr));
  ASSERT_TRUE(chain.graph.WaitFor(EC_STEP_COMPLETE, 1));
  EXPECT_EQ(1, chain.renderer->FramesRendered());

  ASSERT_EQ(S_OK, chain.renderer->Step(3, nullptr));
  ASSERT_TRUE(chain.graph.WaitFor(EC_STEP_COMPLETE, 2));
  EXPECT_EQ(4, chain.renderer->FramesRendered());
  // Held there: nothing more is rendered while paused.
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(4, chain.renderer->FramesRendered());

  // Running again plays the rest.
  chain.rendererFilter->Run(0);
  chain.sourceFilter->Run(0);
  ASSERT_TRUE(chain.graph.WaitFor(EC_COMPLETE));
  EXPECT_EQ(4 + 5, chain.renderer->FramesRendered());  // the first held frame was the still
}

namespace {

struct AudioChain {
  explicit AudioChain(const AudioSourceOptions& options) {
    HRESULT hr = S_OK;
    source = new AudioSource(options);
    renderer = new AudioRenderer(nullptr, &hr);
    sourceFilter = Hold(source);
    rendererFilter = Hold(renderer);
    rendererFilter->JoinFilterGraph(&graph, u"Audio Renderer");
    EXPECT_EQ(S_OK, Connect(source->Output(), renderer->GetPin(0)));
  }
  ~AudioChain() { StopAll({rendererFilter.Get(), sourceFilter.Get()}); }

  EventGraph graph;
  AudioSource* source;
  AudioRenderer* renderer;
  ComPtr<IBaseFilter> sourceFilter;
  ComPtr<IBaseFilter> rendererFilter;
};

}  // namespace

// While the video is stepped, the paused audio renderer lets go of what it holds and drops
// what follows, until it runs again.
TEST(AudioRendererTest, FollowingAFrameStepDropsInsteadOfHolding) {
  constexpr int kBuffers = 10;
  AudioChain chain({.buffers = kBuffers});
  EXPECT_EQ(VFW_E_WRONG_STATE, chain.renderer->FollowFrameStep());

  chain.rendererFilter->Pause();
  chain.sourceFilter->Pause();
  FILTER_STATE state;
  ASSERT_EQ(S_OK, chain.rendererFilter->GetState(static_cast<DWORD>(kWait / 1ms), &state));
  ASSERT_EQ(S_OK, chain.renderer->FollowFrameStep());
  // Running ends following: what has not been dropped yet plays, the held buffer does not.
  chain.rendererFilter->Run(0);
  chain.sourceFilter->Run(0);
  ASSERT_TRUE(chain.graph.WaitFor(EC_COMPLETE));
  EXPECT_LT(chain.renderer->BuffersRendered(), kBuffers);
}

TEST(AudioRendererTest, ConsumesAtTheSpeedOfItsOwnClock) {
  constexpr int kBuffers = 10;  // 400 ms
  AudioChain chain({.buffers = kBuffers, .sampleRate = 16000});
  AudioRenderer* renderer = chain.renderer;
  ComPtr<IBaseFilter>& rendererFilter = chain.rendererFilter;
  ComPtr<IReferenceClock> clock;
  ASSERT_EQ(S_OK, rendererFilter.As(clock));

  const auto began = std::chrono::steady_clock::now();
  RunAll({rendererFilter.Get(), chain.sourceFilter.Get()}, clock.Get());
  ASSERT_TRUE(chain.graph.WaitFor(EC_COMPLETE));
  const auto took = std::chrono::steady_clock::now() - began;
  StopAll({rendererFilter.Get(), chain.sourceFilter.Get()});

  EXPECT_EQ(kBuffers, renderer->BuffersRendered());
  EXPECT_EQ(kBuffers * kFrameDuration, renderer->DurationRendered());
  EXPECT_GE(took, kPacingTolerance * (kBuffers - 1) * std::chrono::milliseconds(kFrameDuration / 10000));

  ComPtr<IBasicAudio> audio;
  ASSERT_EQ(S_OK, rendererFilter.As(audio));
  EXPECT_EQ(E_INVALIDARG, audio->put_Volume(1));
  EXPECT_EQ(S_OK, audio->put_Volume(-2000));
  LONG volume = 0;
  audio->get_Volume(&volume);
  EXPECT_EQ(-2000, volume);
}
