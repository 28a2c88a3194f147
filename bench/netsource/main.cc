// netsourceload: network source filters on one recsim over loopback, each in its own graph
// with a sink that checks every byte against the recording (a null renderer that notices
// loss). Prints the time from Load to the first delivered sample for a live view and a server
// stream, the process's CPU as a share of one core while N live views of ~4 Mbit/s stream
// and while their graphs sit paused, and the bytes lost or changed on the way.
//
// usage: netsourceload [--filters N] [--seconds S] [--idle-seconds S] [--latency-runs N]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ByteSink.h"
#include "ComPtr.h"
#include "CpuStretch.h"
#include "ComRuntime.h"
#include "GraphClasses.h"
#include "GraphInterfaces.h"
#include "NetSourceFilter.h"
#include "Recording.h"
#include "RecsimProcess.h"
#include "WideString.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using netsource::testing::ByteSink;
using recsim::RecsimProcess;
namespace fs = std::filesystem;

struct Options {
  int filters = 16;
  int seconds = 30;
  int idleSeconds = 10;
  int latencyRuns = 5;
};

// MPEG-4 with every frame a key frame at this size comes to about 4 Mbit/s.
constexpr int kWidth = 768;
constexpr int kHeight = 600;
constexpr int kFps = 25;
constexpr int kRecordingSeconds = 12;  // looped by the live view
constexpr auto kSettle = 1s;
constexpr double kFirstSampleWait = 10;

bool ParseArgs(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return false;
    const int value = std::atoi(argv[++i]);
    if (arg == "--filters") options.filters = value;
    else if (arg == "--seconds") options.seconds = value;
    else if (arg == "--idle-seconds") options.idleSeconds = value;
    else if (arg == "--latency-runs") options.latencyRuns = value;
    else return false;
  }
  return options.filters > 0 && options.seconds > 0 && options.idleSeconds >= 0 &&
         options.latencyRuns > 0;
}

std::string WriteRecording(const fs::path& path) {
  recgen::Options recording;
  recording.codec = recgen::VideoCodec::Mpeg4;
  recording.width = kWidth;
  recording.height = kHeight;
  recording.fps = kFps;
  recording.frames = kRecordingSeconds * kFps;
  recording.groupFrames = 1;
  recording.gopGroups = 1;
  recording.audioCode = recorder::kAudioG722_16;
  recording.output = path.string();
  recgen::WriteRecording(recording);
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One graph: the network source and a checking sink.
class Player {
 public:
  Player() {
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                     graph_.ReleaseAndGetVoidAddress());
    HRESULT hr = S_OK;
    netsource::NetSourceFilter::CreateInstance(nullptr, &hr)->NonDelegatingQueryInterface(
        IID_IBaseFilter, source_.ReleaseAndGetVoidAddress());
    sink_ = new ByteSink;
    sinkFilter_ = ComPtr<IBaseFilter>(static_cast<IBaseFilter*>(sink_));
    sink_->CountOnly();
    graph_->AddFilter(source_.Get(), u"source");
    graph_->AddFilter(sinkFilter_.Get(), u"sink");
  }
  ~Player() { Control()->Stop(); }

  HRESULT Open(const std::string& url) {
    HRESULT hr = source_.As<IFileSourceFilter>()->Load(Utf8ToWide(url).c_str(), nullptr);
    if (FAILED(hr)) return hr;
    ComPtr<IPin> out;
    source_->FindPin(u"Stream out", out.GetAddressOf());
    return graph_->ConnectDirect(out.Get(), sink_->Input(), nullptr);
  }
  ComPtr<IMediaControl> Control() { return graph_.As<IMediaControl>(); }
  ByteSink& Sink() { return *sink_; }

 private:
  ComPtr<IGraphBuilder> graph_;
  ComPtr<IBaseFilter> source_;
  ByteSink* sink_;
  ComPtr<IBaseFilter> sinkFilter_;
};

// Milliseconds from Load to the first sample at the sink, or -1.
double FirstSampleLatency(const std::string& url) {
  Player player;
  const auto start = Clock::now();
  if (FAILED(player.Open(url)) || FAILED(player.Control()->Run())) return -1;
  if (!player.Sink().WaitForBytes(1, kFirstSampleWait)) return -1;
  return std::chrono::duration<double, std::milli>(*player.Sink().FirstSampleTime() - start)
      .count();
}

void ReportLatency(const char* what, const std::string& url, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) times.push_back(FirstSampleLatency(url));
  std::sort(times.begin(), times.end());
  if (times.front() < 0) {
    std::printf("%s: failed to play %s\n", what, url.c_str());
    return;
  }
  std::printf("%s: Load to first sample %.0f ms median, %.0f ms worst of %d\n", what,
              times[times.size() / 2], times.back(), runs);
}

int Run(const Options& options) {
  const fs::path root = fs::temp_directory_path() / ("netsourceload_" + std::to_string(getpid()));
  fs::create_directories(root);
  const std::string file = WriteRecording(root / "load.mp4");
  const std::string header = file.substr(0, recorder::kFileHeaderSize);
  const std::string body = file.substr(recorder::kFileHeaderSize);
  std::printf("recording: %dx%d MPEG-4, %d s looped, %.2f Mbit/s\n", kWidth, kHeight,
              kRecordingSeconds, body.size() * 8.0 / kRecordingSeconds / 1e6);

  RecsimProcess sim(RECSIM_BINARY, root.string(),
                    {"--recorder-port", "0", "--user", "admin:12345", "--channel",
                     "1=" + (root / "load.mp4").string()});
  if (!sim.Started() || !sim.RecorderPort()) {
    std::fprintf(stderr, "netsourceload: recsim did not start\n");
    return 1;
  }
  const std::string live =
      "ntrt://127.0.0.1/1/" + std::to_string(sim.RecorderPort()) + "/admin/12345";
  const std::string server =
      "svrt://127.0.0.1:" + std::to_string(sim.Port()) + "/load.mp4/av_stream";
  ReportLatency("live view", live, options.latencyRuns);
  ReportLatency("server stream", server, options.latencyRuns);

  std::vector<std::unique_ptr<Player>> players;
  for (int i = 0; i < options.filters; ++i) {
    players.push_back(std::make_unique<Player>());
    players.back()->Sink().Expect(header, body);
    if (FAILED(players.back()->Open(live))) {
      std::fprintf(stderr, "netsourceload: filter %d did not open\n", i);
      return 1;
    }
  }
  for (auto& player : players) player->Control()->Run();
  std::this_thread::sleep_for(kSettle);
  uint64_t before = 0;
  for (auto& player : players) before += player->Sink().ByteCount();
  {
    const bench::CpuStretch streaming;
    std::this_thread::sleep_for(std::chrono::seconds(options.seconds));
    uint64_t received = 0;
    for (auto& player : players) received += player->Sink().ByteCount();
    received -= before;
    std::printf("streaming: %d live views; ", options.filters);
    streaming.Print("process");
    std::printf("received: %.1f Mbit/s in all, %.2f Mbit/s per filter\n",
                received * 8.0 / streaming.Wall() / 1e6,
                received * 8.0 / streaming.Wall() / 1e6 / options.filters);
  }
  uint64_t lost = 0;
  for (auto& player : players) lost += player->Sink().Mismatched();
  std::printf("lost or changed: %llu bytes\n", static_cast<unsigned long long>(lost));

  for (auto& player : players) player->Control()->Pause();
  std::this_thread::sleep_for(kSettle);
  {
    const bench::CpuStretch idle;
    std::this_thread::sleep_for(std::chrono::seconds(options.idleSeconds));
    std::printf("idle: %d graphs paused; ", options.filters);
    idle.Print("process");
  }
  players.clear();
  std::error_code ignored;
  fs::remove_all(root, ignored);
  return lost == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseArgs(argc, argv, options)) {
    std::fputs("usage: netsourceload [--filters N] [--seconds S] [--idle-seconds S]"
               " [--latency-runs N]\n",
               stderr);
    return 2;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  int status;
  {
    const InProcessGraphClasses graphClasses;
    status = Run(options);
  }
  CoUninitialize();
  return status;
}
