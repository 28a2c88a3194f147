// clientload: many players of the stream client library on one recsim over loopback, each
// receiving a ~4 Mbit/s recording through the data callback. Prints the client process's CPU
// as a share of one core while streaming and while the players sit paused, and the bytes
// lost or changed on the way.
//
// usage: clientload [--players N] [--seconds S] [--idle-seconds S] [--udp] [--recsim PATH]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "CpuStretch.h"
#include "PlayerFleet.h"
#include "RecsimProcess.h"
#include "Recording.h"
#include "client/StreamClient.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Options {
  int players = 100;
  int seconds = 30;      // of streaming measured
  int idleSeconds = 10;  // of paused players measured
  bool udp = false;
  std::string recsim = RECSIM_BINARY;
};

// The recording: MPEG-4 with every frame a key frame at this size comes to about 4 Mbit/s.
constexpr int kWidth = 768;
constexpr int kHeight = 600;
constexpr int kFps = 25;
// Played before the pause, so the idle players have a stream in flight that they hold.
constexpr auto kLead = 1s;
constexpr auto kSettle = 500ms;
// Beyond the recording's length, how long the stream may take to arrive whole.
constexpr auto kGrace = 20s;

bool ParseArgs(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool value = i + 1 < argc;
    if (arg == "--players" && value) {
      options.players = std::atoi(argv[++i]);
    } else if (arg == "--seconds" && value) {
      options.seconds = std::atoi(argv[++i]);
    } else if (arg == "--idle-seconds" && value) {
      options.idleSeconds = std::atoi(argv[++i]);
    } else if (arg == "--recsim" && value) {
      options.recsim = argv[++i];
    } else if (arg == "--udp") {
      options.udp = true;
    } else {
      return false;
    }
  }
  return options.players > 0 && options.players <= 100 && options.seconds > 0 &&
         options.idleSeconds >= 0;
}

std::string WriteRecording(const fs::path& path, int seconds) {
  recgen::Options recording;
  recording.codec = recgen::VideoCodec::Mpeg4;
  recording.width = kWidth;
  recording.height = kHeight;
  recording.fps = kFps;
  recording.frames = seconds * kFps;
  recording.groupFrames = 1;  // every group one key frame
  recording.gopGroups = 1;
  recording.audioCode = recorder::kAudioAdpcm;
  recording.output = path.string();
  recgen::WriteRecording(recording);
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Run(const Options& options) {
  const fs::path root = fs::temp_directory_path() / ("clientload_" + std::to_string(getpid()));
  fs::create_directories(root);
  const int recordedSeconds = options.seconds + static_cast<int>(kLead / 1s);
  const std::string file = WriteRecording(root / "load.mp4", recordedSeconds);
  const std::string stream = file.substr(recorder::kFileHeaderSize);
  std::printf("recording: %dx%d MPEG-4, %d s, %zu bytes = %.2f Mbit/s\n", kWidth, kHeight,
              recordedSeconds, file.size(), stream.size() * 8.0 / recordedSeconds / 1e6);

  recsim::RecsimProcess server(options.recsim, root.string(), {});
  if (!server.Started()) {
    std::fprintf(stderr, "clientload: recsim did not start\n");
    return 1;
  }
  clientload::PlayerFleet fleet(stream);
  const int opened = fleet.Open(options.players, server.Url("/load.mp4"), options.udp);
  std::printf("players: %d of %d opened, %s media\n", opened, options.players,
              options.udp ? "UDP" : "TCP");
  fleet.Each(QRLS_Play, 1);
  std::this_thread::sleep_for(kLead);
  const int paused = fleet.Each(QRLS_Pause, 1);
  std::this_thread::sleep_for(kSettle);
  {
    const bench::CpuStretch idle;
    std::this_thread::sleep_for(std::chrono::seconds(options.idleSeconds));
    std::printf("idle: %d players paused; ", paused);
    idle.Print("client");
  }
  const bench::CpuStretch streaming;
  fleet.Each(QRLS_Resume, 1);
  const auto deadline = Clock::now() + std::chrono::seconds(options.seconds) + kGrace;
  while (!fleet.AllComplete() && Clock::now() < deadline) std::this_thread::sleep_for(50ms);
  const clientload::FleetTotals totals = fleet.Totals();
  std::printf("streaming: %d of %d players received the whole recording; ", totals.complete,
              totals.players);
  streaming.Print("client");
  std::printf("received: %llu bytes = %.1f Mbit/s in all\n",
              static_cast<unsigned long long>(totals.received),
              totals.received * 8.0 / streaming.Wall() / 1e6);
  std::printf("lost: %llu bytes, changed or overrun: %llu bytes, keep-alive losses: %d\n",
              static_cast<unsigned long long>(totals.lost),
              static_cast<unsigned long long>(totals.mismatched), totals.disconnects);
  fleet.StopAll();
  std::error_code ignored;
  fs::remove_all(root, ignored);
  return totals.lost == 0 && totals.mismatched == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseArgs(argc, argv, options)) {
    std::fputs("usage: clientload [--players N<=100] [--seconds S] [--idle-seconds S] [--udp]"
               " [--recsim PATH]\n",
               stderr);
    return 2;
  }
  return Run(options);
}
