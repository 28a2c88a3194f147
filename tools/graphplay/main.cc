// graphplay: opens a file or URL through the filter graph manager like any player, prints the
// graph, plays it and reports what reached each renderer.
//
//   graphplay [--seconds N] [--no-clock] [--seek PERCENT] [--pause-run] [--step N] TARGET
//
// --no-clock runs the graph without a reference clock: renderers take samples as fast as the
// filters upstream produce them, which measures the throughput of the decoding chain.
// --seek PERCENT, one second into playback, pauses the graph, sets its start position to that
// share of the duration and runs it again, as a player's seek bar does. --pause-run, one
// second into playback, pauses for one second and runs again. --step N, one second into
// playback, pauses and steps N frames one at a time (each waits for the step to complete), as a
// player's step button does, then runs again.
//
// Exit status: 0 when playback ended (end of stream, time limit or Ctrl-C), 1 on bad usage or
// when the target cannot be opened, 2 when playback aborted with an error.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "ComRuntime.h"
#include "GraphClasses.h"
#include "Player.h"

namespace {

// More steps than a test or a person would click through.
constexpr long kMaxStepFrames = 10000;

std::atomic<bool> g_stop{false};

void OnInterrupt(int) { g_stop = true; }

int Usage() {
  std::cerr << "usage: graphplay [--seconds N] [--no-clock] [--seek PERCENT] [--pause-run] "
               "[--step N] FILE-OR-URL\n";
  return 1;
}

const char* EndText(PlayEnd end) {
  switch (end) {
    case PlayEnd::kComplete: return "end of stream";
    case PlayEnd::kTimeLimit: return "time limit";
    case PlayEnd::kInterrupted: return "interrupted";
    case PlayEnd::kError: return "error";
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<double> seconds;
  const char* target = nullptr;
  bool clocked = true;
  PlayActions actions;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-clock") == 0) {
      clocked = false;
      continue;
    }
    if (std::strcmp(argv[i], "--pause-run") == 0) {
      actions.pauseRun = true;
      continue;
    }
    if (std::strcmp(argv[i], "--step") == 0 && i + 1 < argc) {
      char* end = nullptr;
      const long frames = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || frames < 1 || frames > kMaxStepFrames) return Usage();
      actions.stepFrames = static_cast<int>(frames);
      continue;
    }
    if (std::strcmp(argv[i], "--seek") == 0 && i + 1 < argc) {
      char* end = nullptr;
      actions.seekPercent = std::strtod(argv[++i], &end);
      if (*end != '\0' || *actions.seekPercent < 0 || *actions.seekPercent > 100) return Usage();
      continue;
    }
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      char* end = nullptr;
      seconds = std::strtod(argv[++i], &end);
      if (*end != '\0' || *seconds < 0) return Usage();
    } else if (!target && argv[i][0] != '-') {
      target = argv[i];
    } else {
      return Usage();
    }
  }
  if (!target) return Usage();
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
    std::cerr << "graphplay: cannot initialise COM\n";
    return 1;
  }
  std::signal(SIGINT, OnInterrupt);
  int status = 0;
  {
    const InProcessGraphClasses graphClasses;
    GraphPlayer player;
    std::string why;
    const HRESULT hr = player.Open(target, why);
    if (FAILED(hr)) {
      std::cerr << "graphplay: cannot open " << target << ": " << why << "\n";
      status = 1;
    } else {
      if (!why.empty()) std::cerr << "graphplay: " << why << "\n";
      player.Describe(std::cout);
      if (!clocked) player.RunWithoutClock();
      const auto started = std::chrono::steady_clock::now();
      const PlayOutcome outcome = player.Play(seconds, g_stop, actions);
      const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
      std::cout << "Ended: " << EndText(outcome.end);
      if (outcome.end == PlayEnd::kError) std::cout << " " << DescribeFailure(outcome.error);
      std::cout << "\n";
      player.Report(std::cout, elapsed.count());
      status = outcome.end == PlayEnd::kError ? 2 : 0;
    }
  }
  CoUninitialize();
  return status;
}
