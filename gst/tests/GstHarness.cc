#include "GstHarness.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <sys/wait.h>

#ifdef RECAST_GST_SANITIZED
// GLib's library constructors keep allocations for the life of the process, unreachable by
// the time the leak check looks. GLib has no frame pointers, so only the slow unwinder sees
// that an allocation was made by a constructor. A registry rebuild likewise keeps the element
// classes of every plugin it scanned for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:_dl_init\nleak:gst_update_registry\n";
}
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
#endif

namespace recastgst::testing {

void InitGstreamer() {
  static std::once_flag once;
  std::call_once(once, [] {
    setenv("GST_PLUGIN_PATH", RECAST_GST_PLUGIN_DIR, 1);
    // A registry of the build's own, so a plugin of another build or worktree is never
    // picked up; GStreamer replaces it atomically, so parallel tests may share it.
    setenv("GST_REGISTRY", RECAST_GST_REGISTRY, 1);
    // Plugins load in this process: a sanitizer build of ours cannot be loaded by the
    // uninstrumented scanner helper.
    setenv("GST_REGISTRY_FORK", "no", 1);
    gst_init(nullptr, nullptr);
  });
}

ToolResult RunTool(const std::string& commandLine) {
  InitGstreamer();
  ToolResult result;
  FILE* pipe = popen((commandLine + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> chunk;
  size_t got;
  while ((got = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) result.output.append(chunk.data(), got);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

namespace {

struct Counting {
  std::mutex lock;
  RunResult* result = nullptr;
};

struct SinkTap {
  Counting* counting;
  std::string name;
};

void OnHandoff(GstElement*, GstBuffer* buffer, GstPad*, gpointer data) {
  auto* tap = static_cast<SinkTap*>(data);
  std::lock_guard guard(tap->counting->lock);
  SinkRecord& record = tap->counting->result->sinks[tap->name];
  ++record.buffers;
  if (!GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT)) ++record.keyFrames;
  record.pts.push_back(GST_BUFFER_PTS(buffer));
}

// Waits for one of `types` on the bus; false at the deadline. Errors end the wait and are kept.
bool WaitFor(GstBus* bus, GstMessageType types, std::chrono::seconds deadline, RunResult& result,
             GstClockTime extra = 0) {
  GstMessage* message = gst_bus_timed_pop_filtered(
      bus, static_cast<GstClockTime>(deadline.count()) * GST_SECOND + extra,
      static_cast<GstMessageType>(types | GST_MESSAGE_ERROR));
  if (!message) return false;
  bool wanted = true;
  if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    result.error = error ? error->message : "error";
    g_clear_error(&error);
    wanted = (types & GST_MESSAGE_ERROR) != 0;
  }
  if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) result.eos = true;
  gst_message_unref(message);
  return wanted;
}

int VideoBuffers(Counting& counting) {
  std::lock_guard guard(counting.lock);
  return counting.result->sinks["v"].buffers;
}

// Waits for `types` on the bus, or (with options.stopAfterVideo) until the sink "v" has that
// many buffers, calling options.midway on the way; false at the deadline or on an error (kept).
bool Play(GstElement* pipeline, GstBus* bus, Counting& counting, const RunOptions& options,
          RunResult& result) {
  const auto end = std::chrono::steady_clock::now() + options.deadline;
  bool midwayDone = !options.midway;
  const GstMessageType ending = options.stopAfterVideo > 0 ? GST_MESSAGE_UNKNOWN : GST_MESSAGE_EOS;
  while (std::chrono::steady_clock::now() < end) {
    const int buffers = VideoBuffers(counting);
    if (!midwayDone && buffers >= options.midwayAfterVideo) {
      midwayDone = true;
      options.midway(pipeline);
    }
    if (options.stopAfterVideo > 0 && buffers >= options.stopAfterVideo) return true;
    if (WaitFor(bus, ending, std::chrono::seconds(0), result, 100 * GST_MSECOND)) return true;
    if (!result.error.empty()) return false;
  }
  return false;
}

std::vector<GstElement*> FakeSinks(GstElement* pipeline) {
  std::vector<GstElement*> sinks;
  GstIterator* it = gst_bin_iterate_recurse(GST_BIN(pipeline));
  GValue item = G_VALUE_INIT;
  while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
    auto* element = GST_ELEMENT(g_value_get_object(&item));
    GstElementFactory* factory = gst_element_get_factory(element);
    if (factory && g_strcmp0(GST_OBJECT_NAME(factory), "fakesink") == 0) sinks.push_back(element);
    g_value_reset(&item);
  }
  g_value_unset(&item);
  gst_iterator_free(it);
  return sinks;
}

}  // namespace

RunResult RunPipeline(const std::string& description, const RunOptions& options) {
  InitGstreamer();
  RunResult result;
  GError* error = nullptr;
  GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
  if (!pipeline || error) {
    result.error = error ? error->message : "cannot build the pipeline";
    g_clear_error(&error);
    if (pipeline) gst_object_unref(pipeline);
    return result;
  }
  Counting counting;
  counting.result = &result;
  std::vector<std::unique_ptr<SinkTap>> taps;
  // playbin makes its sinks while it plays; its fake sinks are given as properties and exist now.
  std::vector<GstElement*> sinks = FakeSinks(pipeline);
  for (const char* property : {"video-sink", "audio-sink"}) {
    if (!g_object_class_find_property(G_OBJECT_GET_CLASS(pipeline), property)) continue;
    GstElement* sink = nullptr;
    g_object_get(pipeline, property, &sink, nullptr);
    if (sink) {
      sinks.push_back(sink);
      gst_object_unref(sink);  // playbin keeps it
    }
  }
  for (GstElement* sink : sinks) {
    taps.push_back(std::make_unique<SinkTap>(SinkTap{&counting, GST_OBJECT_NAME(sink)}));
    g_object_set(sink, "signal-handoffs", TRUE, nullptr);
    g_signal_connect(sink, "handoff", G_CALLBACK(OnHandoff), taps.back().get());
  }
  if (options.setup) options.setup(pipeline);
  GstBus* bus = gst_element_get_bus(pipeline);
  if (options.afterPreroll) {
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    if (WaitFor(bus, GST_MESSAGE_ASYNC_DONE, options.deadline, result)) {
      {
        // The sinks hold still while prerolled, so nothing is lost between here and the call.
        std::lock_guard guard(counting.lock);
        result.sinks.clear();
      }
      options.afterPreroll(pipeline);
    }
  }
  if (result.error.empty()) {
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    const bool ended = options.stopAfterVideo > 0 || options.midway
                           ? Play(pipeline, bus, counting, options, result)
                           : WaitFor(bus, GST_MESSAGE_EOS, options.deadline, result);
    if (!ended && result.error.empty()) result.error = "no end of stream before the deadline";
  }
  const GstStateChangeReturn toNull = gst_element_set_state(pipeline, GST_STATE_NULL);
  if (options.stopAfterVideo > 0 && result.error.empty())
    result.stopped = toNull == GST_STATE_CHANGE_SUCCESS;
  gst_object_unref(bus);
  gst_object_unref(pipeline);
  return result;
}

}  // namespace recastgst::testing
