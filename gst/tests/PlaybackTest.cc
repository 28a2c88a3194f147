// Playing recorder files as players do: playbin to the end, seeking, and damaged files.
#include <gtest/gtest.h>

#include "GstHarness.h"

namespace recastgst::testing {
namespace {

std::string PlaybinWithFakeSinks(const std::string& path) {
  return "playbin uri=file://" + path +
         " video-sink=\"fakesink name=v sync=false\" audio-sink=\"fakesink name=a sync=false\"";
}

std::string VideoOnlyPipeline(const std::string& path) {
  return "filesrc location=\"" + path + "\" ! qrldemux ! queue ! fakesink name=v sync=false";
}

struct PlaybinCase {
  recgen::VideoCodec codec;
  uint32_t audio;
};

void PrintTo(const PlaybinCase& coding, std::ostream* out) {
  *out << "codec " << static_cast<int>(coding.codec) << ", audio " << std::hex << coding.audio;
}

class PlaybinTest : public ::testing::TestWithParam<PlaybinCase> {};

INSTANTIATE_TEST_SUITE_P(Codings, PlaybinTest,
                         ::testing::Values(PlaybinCase{recgen::VideoCodec::H264, 0x1001},
                                           PlaybinCase{recgen::VideoCodec::Mpeg4, 0x7221},
                                           PlaybinCase{recgen::VideoCodec::Mpeg4Sh, 0x7110}));

// ".mp4" files that are recorder streams must reach our demuxer, not the MP4 one.
TEST_P(PlaybinTest, PlaysMp4NamedRecordingToTheEndWithEveryFrame) {
  recgen::Options options = SmallOptions("ch01.mp4");
  options.codec = GetParam().codec;
  options.audioCode = GetParam().audio;
  const recgen::RecordingSummary summary = Write(options);

  const RunResult run = RunPipeline(PlaybinWithFakeSinks(options.output));
  ASSERT_TRUE(run.eos) << run.error;
  EXPECT_EQ(run.sinks.at("v").buffers, summary.frames);
  EXPECT_GT(run.sinks.at("a").buffers, 0);
}

std::string DemuxPipeline(const std::string& source) {
  return source +
         " ! qrldemux name=d d.video ! queue ! fakesink name=v sync=false"
         " d.audio ! queue ! fakesink name=a sync=false";
}

// A pushed stream (as a network source gives it) arrives cut anywhere; it must give the same
// samples at the same times as the file read directly.
TEST(PushedStream, GivesTheSameSamplesAsTheFile) {
  recgen::Options options = SmallOptions("ch01.264");
  options.audioCode = 0x7110;
  const recgen::RecordingSummary summary = Write(options);
  const std::string file = "filesrc location=\"" + options.output + "\"";

  const RunResult pulled = RunPipeline(DemuxPipeline(file));
  const RunResult pushed = RunPipeline(DemuxPipeline(file + " blocksize=777 ! queue"));
  ASSERT_TRUE(pulled.eos) << pulled.error;
  ASSERT_TRUE(pushed.eos) << pushed.error;
  EXPECT_EQ(pushed.sinks.at("v").buffers, summary.frames);
  EXPECT_EQ(pushed.sinks.at("a").buffers, summary.audioBlocks);
  EXPECT_EQ(pushed.sinks.at("v").pts, pulled.sinks.at("v").pts);
  EXPECT_EQ(pushed.sinks.at("a").pts, pulled.sinks.at("a").pts);
  EXPECT_EQ(pushed.sinks.at("v").keyFrames, summary.keyGroups);
}

// 100 frames at 25 fps in groups of 10, a key group every second group: key groups start at
// 0, 0.8, 1.6, 2.4 and 3.2 s.
class SeekTest : public ::testing::Test {
 protected:
  void SetUp() override {
    options_ = SmallOptions("seek.mp4");
    options_.frames = 100;
    Write(options_);
  }

  RunResult PlayAfterSeek(GstSeekFlags flags, GstClockTime target) {
    RunOptions run;
    run.afterPreroll = [=](GstElement* pipeline) {
      ASSERT_TRUE(gst_element_seek_simple(pipeline, GST_FORMAT_TIME,
                                          static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | flags),
                                          static_cast<gint64>(target)));
      gst_element_get_state(pipeline, nullptr, nullptr, 30 * GST_SECOND);
    };
    return RunPipeline(VideoOnlyPipeline(options_.output), run);
  }

  recgen::Options options_;
};

TEST_F(SeekTest, KeyUnitSeekToTheMiddleLandsOnTheNextKeyGroup) {
  const RunResult run = PlayAfterSeek(
      static_cast<GstSeekFlags>(GST_SEEK_FLAG_KEY_UNIT | GST_SEEK_FLAG_SNAP_AFTER), 2 * GST_SECOND);
  ASSERT_TRUE(run.eos) << run.error;
  const SinkRecord& video = run.sinks.at("v");
  ASSERT_FALSE(video.pts.empty());
  EXPECT_EQ(video.pts.front(), 2400 * GST_MSECOND);
  EXPECT_EQ(video.buffers, 40);   // groups 6 to 9
  EXPECT_EQ(video.keyFrames, 2);  // the first frames of groups 6 and 8
}

TEST_F(SeekTest, KeyUnitSeekWithoutSnapFlagsStartsAtTheKeyGroupBefore) {
  const RunResult run = PlayAfterSeek(GST_SEEK_FLAG_KEY_UNIT, 2 * GST_SECOND);
  ASSERT_TRUE(run.eos) << run.error;
  ASSERT_FALSE(run.sinks.at("v").pts.empty());
  EXPECT_EQ(run.sinks.at("v").pts.front(), 1600 * GST_MSECOND);
  EXPECT_EQ(run.sinks.at("v").buffers, 60);
}

// An accurate seek decodes from the key group before but shows nothing before the target.
TEST_F(SeekTest, AccurateSeekShowsFramesFromTheTargetOn) {
  const RunResult run = PlayAfterSeek(GST_SEEK_FLAG_NONE, 2 * GST_SECOND);
  ASSERT_TRUE(run.eos) << run.error;
  ASSERT_FALSE(run.sinks.at("v").pts.empty());
  EXPECT_EQ(run.sinks.at("v").pts.front(), 2 * GST_SECOND);
  EXPECT_EQ(run.sinks.at("v").buffers, 50);
}

// Garbage before the first group, an invalid block in group 3 (not a key group) and a cut last
// group: group 3 is lost and so is nothing else until the next key group (4), and group 9 is
// incomplete. Every other frame plays, in order.
TEST(DamagedFile, PlaysWhatIsGood) {
  recgen::Options options = SmallOptions("damaged.mp4");
  options.frames = 100;
  options.audioCode = 0x1013;
  options.damage.garbageBytes = 500;
  options.damage.badBlockGroup = 3;
  options.damage.truncateBytes = 300;
  Write(options);

  const RunResult run = RunPipeline(PlaybinWithFakeSinks(options.output));
  ASSERT_TRUE(run.eos) << run.error;
  const SinkRecord& video = run.sinks.at("v");
  EXPECT_EQ(video.buffers, 80);
  for (size_t i = 1; i < video.pts.size(); ++i) EXPECT_GT(video.pts[i], video.pts[i - 1]) << i;
}

// A file whose every byte after the header is damage has nothing to play: an error, not a
// hang and not a silent end of stream.
TEST(DamagedFile, NothingPlayableIsAnError) {
  recgen::Options options = SmallOptions("empty.qrl");
  options.frames = 10;
  options.damage.truncateBytes = 100;  // the only group is cut
  Write(options);
  const RunResult run = RunPipeline(VideoOnlyPipeline(options.output));
  EXPECT_FALSE(run.eos);
  EXPECT_NE(run.error.find("no playable group"), std::string::npos) << run.error;
}

}  // namespace
}  // namespace recastgst::testing
