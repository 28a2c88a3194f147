// Throughput of the recorder file source and decoders against their codecs alone, in the
// same run.
//
// One recgen file (CIF H.264 at 25 fps with G.726 audio, 120 s unless RECORDER_BENCH_SECONDS
// says otherwise) is played through source → video and audio decoders → sinks that take every
// sample at once (no clock), and, as the peer, decoded straight from memory with the same
// codecs and converted to the same YV12 pictures. The summary prints both frame rates and
// their ratio: the filter path should cost little beyond its codecs. The source alone (into
// sinks of the recorder types) shows what reading, parsing and cutting cost by themselves.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "AudioBlockDecoder.h"
#include "FilterChain.h"
#include "PictureWriter.h"
#include "Recording.h"
#include "RecorderVideoDecoder.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

using namespace vendor;

constexpr int kDefaultSeconds = 120;

struct BenchFile {
  std::string path;
  int64_t frames = 0;
};

const BenchFile& File() {
  static const BenchFile file = [] {
    av_log_set_level(AV_LOG_FATAL);
    const char* seconds = std::getenv("RECORDER_BENCH_SECONDS");
    recgen::Options options;
    options.frames = (seconds ? std::atoi(seconds) : kDefaultSeconds) * options.fps;
    options.audioCode = recorder::kAudioG722_32;
    options.output = (std::filesystem::temp_directory_path() / "recorder_filters_bench.264").string();
    const recgen::RecordingSummary summary = recgen::WriteRecording(options);
    return BenchFile{options.output, summary.frames};
  }();
  return file;
}

double g_graphFps = 0;
double g_codecFps = 0;

// Frames per second over the whole run of a benchmark; also shown as its counter.
double FramesPerSecond(benchmark::State& state, std::chrono::steady_clock::duration spent) {
  const double seconds = std::chrono::duration<double>(spent).count();
  const double fps = seconds > 0 ? File().frames * static_cast<double>(state.iterations()) / seconds : 0;
  state.counters["fps"] = fps;
  return fps;
}

// Plays the file through the source (and the decoders) into sinks, as often as asked.
double PlayThroughFilters(benchmark::State& state, testing::Decoders decoders) {
  const auto begin = std::chrono::steady_clock::now();
  for (auto _ : state) {
    testing::FilterChain chain(testing::Keep::TimesOnly);
    if (chain.Load(File().path) != S_OK) state.SkipWithError("the file does not load");
    chain.Connect(decoders);
    chain.Play();
  }
  return FramesPerSecond(state, std::chrono::steady_clock::now() - begin);
}

void BM_SourceAndDecoders(benchmark::State& state) {
  g_graphFps = PlayThroughFilters(state, testing::Decoders::Both);
}

void BM_SourceAlone(benchmark::State& state) { PlayThroughFilters(state, testing::Decoders::None); }

void BM_CodecsAlone(benchmark::State& state) {
  const BenchFile& file = File();
  std::ifstream in(file.path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  const auto header = recorder::ParseFileHeader(bytes);
  std::vector<uint8_t> picture(352 * 288 * 3 / 2);
  std::vector<uint8_t> pcm(64 * 1024);
  const auto begin = std::chrono::steady_clock::now();
  for (auto _ : state) {
    auto video = RecorderVideoDecoder::Create(header->magic);
    auto audio = AudioBlockDecoder::Create(recorder::NormaliseAudioCodec(header->audioCodec));
    PictureWriter writer;
    const PictureLayout layout{352, 288, 352, PlaneOrder::Yv12};
    const RecorderVideoDecoder::FrameHandler convert = [&](const AVFrame& frame) {
      benchmark::DoNotOptimize(writer.Write(frame, layout, picture.data()));
    };
    const uint8_t* cursor = bytes.data() + recorder::kFileHeaderSize;
    recorder::GroupView group;
    while (recorder::ParseGroup(cursor, bytes.data() + bytes.size(), group) ==
           recorder::ParseResult::Complete) {
      recorder::ForEachBlock(group, [&](const recorder::BlockView& block) {
        const recorder::ByteSpan payload(block.payload, block.PayloadSize());
        if (recorder::IsVideoBlockType(block.type)) video->Decode(payload, 0, convert);
        if (recorder::IsAudioBlockType(block.type))
          benchmark::DoNotOptimize(audio->Decode(payload, pcm.data(), pcm.size()));
        return false;
      });
      cursor = group.end;
    }
    video->Drain(convert);
  }
  g_codecFps = FramesPerSecond(state, std::chrono::steady_clock::now() - begin);
}

BENCHMARK(BM_SourceAlone)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SourceAndDecoders)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CodecsAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_codecFps > 0) {
    std::printf("source and decoders: %.0f frames/s; codecs alone: %.0f frames/s; ratio %.2f\n",
                g_graphFps, g_codecFps, g_graphFps / g_codecFps);
  }
  return 0;
}
