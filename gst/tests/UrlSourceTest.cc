// qrlsrc against recsim as recorder, legacy server and stream server, the way players open
// recorder URLs: playbin on a recorded server file to its end and after a seek, live sources
// of every back end until they are stopped, and URLs that must fail with an error message.
#include <gst/base/gstbasesrc.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "GstHarness.h"
#include "NetStream.h"
#include "RecsimProcess.h"

namespace recastgst::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kUser[] = "admin";
constexpr char kPassword[] = "12345";
// A recorded stream ends after this many silent seconds; short, but longer than any gap a
// loaded machine puts between the groups the simulator paces in real time.
constexpr guint kIdleEnd = 3;

std::string Playbin(const std::string& uri) {
  return "playbin uri=\"" + uri +
         "\" video-sink=\"fakesink name=v sync=false\" audio-sink=\"fakesink name=a sync=false\"";
}

// The recording and the simulator serving it, shared by the suite.
fs::path* root = nullptr;
recgen::RecordingSummary* summary = nullptr;
recsim::RecsimProcess* sim = nullptr;

std::string Recorder(const std::string& password = kPassword) {
  return "127.0.0.1/1/" + std::to_string(sim->RecorderPort()) + "/" + kUser + "/" + password;
}
std::string Server(const std::string& path) {
  return "127.0.0.1:" + std::to_string(sim->Port()) + "/" + path;
}

class UrlSource : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitGstreamer();
    root = new fs::path(fs::temp_directory_path() / ("gst_url_" + std::to_string(getpid())));
    fs::create_directories(*root);
    recgen::Options options;
    options.width = 176;
    options.height = 144;
    options.frames = 50;  // 2 s in groups of 10, a key group every second group
    options.groupFrames = 10;
    options.audioCode = 0x7110;
    options.output = (*root / "ch1.mp4").string();
    summary = new recgen::RecordingSummary(Write(options));
    sim = new recsim::RecsimProcess(
        RECSIM_BINARY, root->string(),
        {"--recorder-port", "0", "--legacy", "--legacy-port", "0", "--user",
         std::string(kUser) + ":" + kPassword, "--channel", "1=" + options.output});
    // The legacy client reaches this simulator instead of its fixed ports.
    if (sim->Started()) setenv("QRLCLIENT_PORTS", std::to_string(sim->LegacyPort()).c_str(), 1);
  }
  static void TearDownTestSuite() {
    delete sim;
    delete summary;
    std::error_code ignored;
    fs::remove_all(*root, ignored);
    delete root;
  }
  void SetUp() override { ASSERT_TRUE(sim->Started()); }
};

// Gives playbin's source a short idle end and notes whether it is live.
struct SourceWatch {
  bool seen = false;
  bool live = false;

  static void OnSourceSetup(GstElement*, GstElement* source, gpointer data) {
    auto* watch = static_cast<SourceWatch*>(data);
    watch->seen = true;
    watch->live = gst_base_src_is_live(GST_BASE_SRC(source));
    g_object_set(source, "idle-end", kIdleEnd, nullptr);
  }
  std::function<void(GstElement*)> Setup() {
    return [this](GstElement* pipeline) {
      g_signal_connect(pipeline, "source-setup", G_CALLBACK(OnSourceSetup), this);
    };
  }
};

TEST_F(UrlSource, RecordedServerFileReportsItsLengthAndPlaysToItsEnd) {
  SourceWatch watch;
  gint64 duration = -1;
  gboolean seekable = FALSE;
  RunOptions run;
  run.setup = watch.Setup();
  run.afterPreroll = [&](GstElement* pipeline) {
    gst_element_query_duration(pipeline, GST_FORMAT_TIME, &duration);
    GstQuery* query = gst_query_new_seeking(GST_FORMAT_TIME);
    if (gst_element_query(pipeline, query))
      gst_query_parse_seeking(query, nullptr, &seekable, nullptr, nullptr);
    gst_query_unref(query);
  };
  const RunResult result = RunPipeline(Playbin("svfl://" + Server("ch1.mp4")), run);
  ASSERT_TRUE(result.eos) << result.error;
  EXPECT_TRUE(watch.seen);
  EXPECT_FALSE(watch.live);
  EXPECT_EQ(duration, static_cast<gint64>(2 * GST_SECOND));
  EXPECT_TRUE(seekable);
  EXPECT_EQ(result.sinks.at("v").buffers, summary->frames);
  EXPECT_GT(result.sinks.at("a").buffers, 0);
}

// A pause in the middle of a recorder playback prerolls again and holds the stream; playing on
// delivers the rest, and the run ends with every frame.
TEST_F(UrlSource, RecorderPlaybackPausesAndPlaysToItsEnd) {
  SourceWatch watch;
  RunOptions run;
  run.setup = watch.Setup();
  run.midwayAfterVideo = 10;
  run.midway = [](GstElement* pipeline) {
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    gst_element_get_state(pipeline, nullptr, nullptr, 30 * GST_SECOND);
    g_usleep(300 * 1000);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
  };
  const RunResult result = RunPipeline(Playbin("ntfl://" + Recorder() + "/ch1.mp4"), run);
  ASSERT_TRUE(result.eos) << result.error;
  EXPECT_FALSE(watch.live);
  EXPECT_EQ(result.sinks.at("v").buffers, summary->frames);
}

// The recorder playback moves to a percentage of its length, the stream server to whole
// seconds, each from a group where it can resume; the pictures are stamped from the target on.
class RecordedSeek : public UrlSource, public ::testing::WithParamInterface<const char*> {};

TEST_P(RecordedSeek, SeekToTheMiddlePlaysTheSecondHalf) {
  SourceWatch watch;
  RunOptions run;
  run.setup = watch.Setup();
  run.afterPreroll = [](GstElement* pipeline) {
    ASSERT_TRUE(gst_element_seek_simple(
        pipeline, GST_FORMAT_TIME,
        static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), GST_SECOND));
    gst_element_get_state(pipeline, nullptr, nullptr, 30 * GST_SECOND);
  };
  const std::string uri = std::string(GetParam()) == "ntfl"
                              ? "ntfl://" + Recorder() + "/ch1.mp4"
                              : "svfl://" + Server("ch1.mp4");
  const RunResult result = RunPipeline(Playbin(uri), run);
  ASSERT_TRUE(result.eos) << result.error;
  const SinkRecord& video = result.sinks.at("v");
  ASSERT_FALSE(video.pts.empty());
  EXPECT_EQ(video.pts.front(), GST_SECOND);
  EXPECT_LT(video.buffers, summary->frames);
  for (size_t i = 1; i < video.pts.size(); ++i) EXPECT_GT(video.pts[i], video.pts[i - 1]) << i;
}

INSTANTIATE_TEST_SUITE_P(BackEnds, RecordedSeek, ::testing::Values("ntfl", "svfl"));

struct LiveCase {
  const char* name;
  std::string (*uri)();
};

void PrintTo(const LiveCase& live, std::ostream* out) { *out << live.name; }

class LiveUrlSource : public UrlSource, public ::testing::WithParamInterface<LiveCase> {};

// Every live back end streams with the pipeline's clock until the player stops it, and streams
// again after a pause (which stopped or paused it); the scheme may be written in any case.
TEST_P(LiveUrlSource, StreamsLiveAcrossAPauseUntilStopped) {
  SourceWatch watch;
  RunOptions run;
  run.setup = watch.Setup();
  run.midwayAfterVideo = 10;
  run.midway = [](GstElement* pipeline) {
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    g_usleep(300 * 1000);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
  };
  run.stopAfterVideo = 30;
  const RunResult result = RunPipeline(Playbin(GetParam().uri()), run);
  ASSERT_TRUE(result.stopped) << result.error;
  EXPECT_TRUE(watch.live);
  EXPECT_FALSE(result.eos);
  const SinkRecord& video = result.sinks.at("v");
  ASSERT_GE(video.pts.size(), 30u);
  for (size_t i = 1; i < video.pts.size(); ++i) {
    ASSERT_TRUE(GST_CLOCK_TIME_IS_VALID(video.pts[i]));
    EXPECT_GT(video.pts[i], video.pts[i - 1]) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    BackEnds, LiveUrlSource,
    ::testing::Values(LiveCase{"RecorderLive", [] { return "ntrt://" + Recorder(); }},
                      LiveCase{"UpperCaseScheme", [] { return "NTRT://" + Recorder(); }},
                      LiveCase{"Legacy", [] { return std::string("Real://127.0.0.1/1/0"); }},
                      LiveCase{"ServerLive", [] { return "svrt://" + Server("ch1.mp4/av_stream"); }}),
    [](const ::testing::TestParamInfo<LiveCase>& info) { return std::string(info.param.name); });

// A refused login, a recording the server does not have and a malformed URL end the run with
// an error message: no hang, no end of stream, no crash.
TEST_F(UrlSource, FailuresAreErrorMessages) {
  for (const std::string& uri :
       {"ntrt://" + Recorder("wrong"), "svfl://" + Server("nosuch.mp4"),
        "ntfl://" + Recorder() + "/nosuchfile", "ntrt://" + std::string(20, 'h') + "/1/8000/u/p",
        std::string("ntrt://127.0.0.1/1")}) {
    SCOPED_TRACE(uri);
    RunOptions run;
    run.deadline = std::chrono::seconds(30);
    const RunResult result = RunPipeline(Playbin(uri), run);
    EXPECT_FALSE(result.eos);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(result.error.find("deadline"), std::string::npos) << result.error;
  }
}

TEST(NetStreamScheme, AnyCaseNamesTheSessionsSpelling) {
  EXPECT_EQ(NetStream::Canonical("NTRT://h/1/2/u/p"), "ntrt://h/1/2/u/p");
  EXPECT_EQ(NetStream::Canonical("real://h/1/0"), "Real://h/1/0");
  EXPECT_EQ(NetStream::Canonical("REAL://h/1/0"), "Real://h/1/0");
  EXPECT_EQ(NetStream::Canonical("SvFl://h:554/A/b"), "svfl://h:554/A/b");  // the rest as written
  EXPECT_EQ(NetStream::Canonical("http://h/x"), std::nullopt);
  EXPECT_EQ(NetStream::Canonical("ntrt:h"), std::nullopt);
  bool recorded = false;
  std::string reason;
  EXPECT_TRUE(NetStream::Check("Svfl://h/a", recorded, reason));
  EXPECT_TRUE(recorded);
  EXPECT_TRUE(NetStream::Check("ntrt://h/1/2/u/p", recorded, reason));
  EXPECT_FALSE(recorded);
  EXPECT_FALSE(NetStream::Check("ntrt://h/1", recorded, reason));
  EXPECT_FALSE(reason.empty());
}

}  // namespace
}  // namespace recastgst::testing
