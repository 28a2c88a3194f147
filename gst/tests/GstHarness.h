// Shared by the plugin's tests: recorder files written by recgen into a private folder, the
// GStreamer command-line tools run against the build's plugin, and pipelines run in process
// to the end of the stream with a counting fake sink per stream.
#pragma once

#include <gst/gst.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Options.h"
#include "RecgenTestSupport.h"
#include "Recording.h"

namespace recastgst::testing {

// Points GStreamer at the build's plugin (and nothing of the user's) and initialises it.
void InitGstreamer();

// recgen's own test folders and short recordings (176 x 144, 50 frames in groups of 10).
using recgen::testing::SmallOptions;
using recgen::testing::TestDir;
inline recgen::RecordingSummary Write(const recgen::Options& options) {
  return recgen::WriteRecording(options);
}

// Whether GStreamer's command-line tools can load the build's plugin (not in a sanitizer build).
#ifdef RECAST_GST_SANITIZED
inline constexpr bool kToolsLoadPlugin = false;
#else
inline constexpr bool kToolsLoadPlugin = true;
#endif

struct ToolResult {
  int status = -1;
  std::string output;  // stdout and stderr
};
// Runs a command line (the tools see the build's plugin through the environment).
ToolResult RunTool(const std::string& commandLine);

struct SinkRecord {
  int buffers = 0;
  int keyFrames = 0;  // buffers without the delta-unit flag
  std::vector<GstClockTime> pts;
};

struct RunResult {
  bool eos = false;
  bool stopped = false;  // a live run ended by its buffer count, and went to NULL without error
  std::string error;  // the first error message, if any
  std::map<std::string, SinkRecord> sinks;  // by fake sink name
};

struct RunOptions {
  std::chrono::seconds deadline{60};
  // Called once the pipeline has prerolled in PAUSED, before it plays; what the sinks got
  // before the call is forgotten.
  std::function<void(GstElement* pipeline)> afterPreroll;
  // Called once the pipeline is built, before any state change.
  std::function<void(GstElement* pipeline)> setup;
  // A live stream never ends: the run ends once the sink named "v" has this many buffers
  // (0: wait for the end of stream).
  int stopAfterVideo = 0;
  // Called once (on the test's thread) when the sink named "v" has `midwayAfterVideo` buffers,
  // for a state change in the middle of a run.
  std::function<void(GstElement* pipeline)> midway;
  int midwayAfterVideo = 0;
};

// Runs a gst-launch description whose fake sinks are named; each sink counts what reaches it.
RunResult RunPipeline(const std::string& description, const RunOptions& options = {});

}  // namespace recastgst::testing
