// Throughput of the group parser against a plain memcpy of the same bytes, in the same run.
//
// A long stream (CIF or 4CIF frames at 25 fps, one 160-byte audio block per frame, a key
// group every 50 frames) goes through the parser in 2048-byte samples (as the network source
// cuts it) and in 64 KiB samples, into outputs that only hand out buffers and take them back.
// The peer copies each input sample once into the same kind of output buffers. The summary
// prints both rates in MB/s and their ratio.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "GroupParser.h"
#include "StreamBuilder.h"

namespace {

using namespace recorder;
using namespace splitter;

constexpr size_t kOutputBuffers = 5;             // as the filter's allocator grants
constexpr size_t kOutputBufferSize = 512'000;
constexpr int kFrames = 1500;                    // one minute at 25 fps
constexpr int kKeyInterval = 50;
constexpr uint32_t kAudioBlockLength = 160;

// Hands out its buffers in turn and takes every sample without looking at it.
class TakingOutput : public SampleOutput {
 public:
  TakingOutput() : buffers_(new uint8_t[kOutputBuffers * kOutputBufferSize]) {}
  HRESULT GetDeliveryBuffer(OutputSample& sample) override {
    sample.handle = buffers_.get() + next_++ % kOutputBuffers * kOutputBufferSize;
    return S_OK;
  }
  HRESULT GetPointer(OutputSample& sample) override {
    sample.data = static_cast<uint8_t*>(sample.handle);
    sample.capacity = kOutputBufferSize;
    return S_OK;
  }
  HRESULT Deliver(OutputSample& sample) override {
    benchmark::DoNotOptimize(sample.data);
    return S_OK;
  }
  void Release(OutputSample&) override {}

 private:
  std::unique_ptr<uint8_t[]> buffers_;
  size_t next_ = 0;
};

struct Picture {
  const char* name;
  uint32_t meanFrame;  // bytes of a typical coded frame
};
constexpr Picture kPictures[] = {{"cif", 12'000}, {"4cif", 48'000}};
constexpr size_t kSampleSizes[] = {2048, 65536};

std::vector<uint8_t> MakeStream(const Picture& picture) {
  std::mt19937 random(1);
  std::uniform_int_distribution<uint32_t> frame(picture.meanFrame / 2, picture.meanFrame * 3 / 2);
  testing::StreamBuilder stream;
  for (int i = 0; i < kFrames; ++i) {
    const uint32_t type = i % kKeyInterval == 0 ? kFrameTypeKey : kFrameTypeOther;
    const uint32_t length = type == kFrameTypeKey ? picture.meanFrame * 4 : frame(random);
    stream.AddGroup(testing::MakeGroupSpec(type, 1, kAudioBlockLength, 1, length));
  }
  return stream.Bytes();
}

void ParseStream(benchmark::State& state, const std::vector<uint8_t>& stream, size_t sample) {
  TakingOutput video;
  TakingOutput audio;
  std::unique_ptr<GroupParser> parser;
  if (FAILED(GroupParser::Create(video, audio, parser))) {
    state.SkipWithError("no parser");
    return;
  }
  parser->SetStreamFormat(testing::MakeFileHeader(kSystemVideoAudio, kAudioG722_32));
  for (auto _ : state) {
    parser->Reset();
    for (size_t offset = 0; offset < stream.size(); offset += sample) {
      const size_t length = std::min(sample, stream.size() - offset);
      benchmark::DoNotOptimize(parser->Receive(stream.data() + offset, static_cast<long>(length)));
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}

void CopyStream(benchmark::State& state, const std::vector<uint8_t>& stream, size_t sample) {
  TakingOutput output;
  OutputSample target;
  for (auto _ : state) {
    for (size_t offset = 0; offset < stream.size(); offset += sample) {
      const size_t length = std::min(sample, stream.size() - offset);
      (void)output.GetDeliveryBuffer(target);
      (void)output.GetPointer(target);
      std::memcpy(target.data, stream.data() + offset, length);
      benchmark::DoNotOptimize(target.data);
      benchmark::ClobberMemory();
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}

// Keeps each run's rate and prints parser against memcpy once all have run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.real_accumulated_time <= 0) continue;
      const auto bytes = run.counters.find("bytes_per_second");
      if (bytes == run.counters.end()) continue;
      rates_[run.benchmark_name()] = bytes->second.value / 1e6;
    }
  }
  void PrintSummary() const {
    std::printf("\n%-16s %12s %12s %8s\n", "stream/sample", "parser MB/s", "memcpy MB/s", "ratio");
    for (const Picture& picture : kPictures) {
      for (size_t sample : kSampleSizes) {
        const std::string config = std::string(picture.name) + "/" + std::to_string(sample);
        const auto parser = rates_.find("parser/" + config);
        const auto copy = rates_.find("memcpy/" + config);
        if (parser == rates_.end() || copy == rates_.end()) continue;
        std::printf("%-16s %12.0f %12.0f %8.2f\n", config.c_str(), parser->second, copy->second,
                    parser->second / copy->second);
      }
    }
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::vector<uint8_t>> streams;
  for (const Picture& picture : kPictures) streams.push_back(MakeStream(picture));
  for (size_t p = 0; p < std::size(kPictures); ++p) {
    for (size_t sample : kSampleSizes) {
      const std::string config = std::string(kPictures[p].name) + "/" + std::to_string(sample);
      const std::vector<uint8_t>& stream = streams[p];
      benchmark::RegisterBenchmark(("parser/" + config).c_str(), ParseStream, stream, sample)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("memcpy/" + config).c_str(), CopyStream, stream, sample)
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary();
  benchmark::Shutdown();
  return 0;
}
