// GraphPlayer: what graphplay does with one target, as a library so tests can drive it.
// Opens the target with RenderFile like any player, describes the graph it built, runs it until
// the end of the stream, a time limit or a stop request, and reports per renderer what arrived.
#pragma once

#include <atomic>
#include <optional>
#include <ostream>
#include <string>

#include "ComPtr.h"
#include "GraphInterfaces.h"

enum class PlayEnd { kComplete, kTimeLimit, kInterrupted, kError };

// What a player does to the running graph after its first second.
struct PlayActions {
  std::optional<double> seekPercent;  // pause, set the start to this share of the duration, run
  bool pauseRun = false;              // pause for one second, then run again
  int stepFrames = 0;                 // pause, step this many frames one at a time, run again
};

struct PlayOutcome {
  PlayEnd end = PlayEnd::kComplete;
  HRESULT error = S_OK;  // with kError: the EC_ERRORABORT code or the failed call's result
};

class GraphPlayer {
 public:
  // Creates the graph and renders `target`. A failure is also described in `why`.
  HRESULT Open(const std::string& target, std::string& why);
  // The filters and their connections.
  void Describe(std::ostream& out) const;
  // Removes the graph's reference clock, so nothing is paced.
  void RunWithoutClock();
  // Runs until EC_COMPLETE, an aborting event, `seconds` (if given) or `stop` becoming true.
  // `actions` happen once, one second after the graph started running.
  PlayOutcome Play(std::optional<double> seconds, const std::atomic<bool>& stop,
                   const PlayActions& actions = {});
  // Per renderer or sink: samples and the span of stream time they covered, and the samples
  // per second of wall time when `elapsedSeconds` is given.
  void Report(std::ostream& out, double elapsedSeconds = 0) const;

 private:
  // The seek or pause of `actions`; a description of what happened goes to `log`.
  HRESULT Act(const PlayActions& actions, std::ostream& log);
  // Steps the paused graph one frame at a time, each step waiting for EC_STEP_COMPLETE; says
  // how many of `frames` completed.
  void StepFrames(int frames, std::ostream& log);

  ComPtr<IGraphBuilder> m_graph;
};

// A short text for the codes a failed open or an aborted playback usually has.
std::string DescribeFailure(HRESULT hr);
