// The audio processor: PCM passes through unchanged by default and is resampled when the
// setting asks for another rate.
#include <gtest/gtest.h>

#include "AudioProcessor.h"
#include "AudioRenderer.h"
#include "ScopedTestRegistry.h"
#include "TestKit.h"

using namespace filter_test;

namespace {

struct ProcessedAudio {
  int outputRate = 0;
  LONGLONG bytes = 0;
};

ProcessedAudio Process(int buffers, int inputRate) {
  ComPtr<IBaseFilter> source = Hold(new AudioSource({.buffers = buffers, .sampleRate = inputRate}));
  ComPtr<IBaseFilter> processor = Hold(new AudioProcessor(nullptr));
  HRESULT hr = S_OK;
  auto* renderer = new AudioRenderer(nullptr, &hr);
  ComPtr<IBaseFilter> rendererFilter = Hold(renderer);
  EventGraph graph;
  rendererFilter->JoinFilterGraph(&graph, u"Audio Renderer");
  EXPECT_EQ(S_OK, Connect(PinAt(source.Get(), 0).Get(), PinAt(processor.Get(), 0).Get()));
  EXPECT_EQ(S_OK, Connect(PinAt(processor.Get(), 1).Get(), renderer->GetPin(0)));
  RunAll({rendererFilter.Get(), processor.Get(), source.Get()}, nullptr);
  EXPECT_TRUE(graph.WaitFor(EC_COMPLETE));
  ProcessedAudio result;
  result.bytes = renderer->BytesRendered();
  CMediaType type;
  ComPtr<IPin> out = PinAt(processor.Get(), 1);
  out->ConnectionMediaType(&type);
  result.outputRate = static_cast<int>(reinterpret_cast<WAVEFORMATEX*>(type.pbFormat)->nSamplesPerSec);
  StopAll({rendererFilter.Get(), processor.Get(), source.Get()});
  return result;
}

}  // namespace

TEST(AudioProcessorTest, PassesPcmThroughByDefault) {
  ScopedTestRegistry registry;
  const ProcessedAudio audio = Process(25, 8000);
  EXPECT_EQ(8000, audio.outputRate);
  EXPECT_EQ(25 * 320 * 2, audio.bytes);
}

TEST(AudioProcessorTest, ResamplesToTheConfiguredRate) {
  ScopedTestRegistry registry;
  AudioProcessorSettings settings;
  settings.resampleRate = 16000;
  ASSERT_EQ(S_OK, settings.Save());
  const ProcessedAudio audio = Process(25, 8000);  // 1 s
  EXPECT_EQ(16000, audio.outputRate);
  // One second at twice the rate, give or take the resampler's edges.
  EXPECT_NEAR(16000 * 2, audio.bytes, 64 * 2);
}
