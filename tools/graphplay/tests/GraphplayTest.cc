// graphplay end to end: a fresh registry with the test filters registered by regsvr, a test
// source played through decoders to the test renderers, and the report that comes out.
#include "ToolProcess.h"

namespace {

class GraphplayTest : public ToolProcessTest {
 protected:
  void SetUp() override {
    ToolProcessTest::SetUp();
    const ToolRun registered = RunTool(REGSVR_PATH, std::string("'") + GRAPH_TEST_FILTERS_PATH + "'");
    ASSERT_EQ(registered.status, 0) << registered.output;
  }
  ToolRun Graphplay(const std::string& args) { return RunTool(GRAPHPLAY_PATH, args); }
};

TEST_F(GraphplayTest, PlaysToTheEndAndReportsEachRenderer) {
  const ToolRun run = Graphplay("'gtest://camera/video=6&audio=3&step=5'");
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string& text = run.output;
  EXPECT_NE(text.find("\"Video\" -> \"Graph Test Decoder High\".\"XForm In\""), std::string::npos)
      << text;
  EXPECT_NE(text.find("Ended: end of stream"), std::string::npos) << text;
  EXPECT_NE(text.find("Renderer \"Graph Test Video Renderer\": 6 samples, 0.000 s to 0.025 s"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Renderer \"Graph Test Audio Renderer\": 3 samples, 0.000 s to 0.010 s"),
            std::string::npos)
      << text;
}

TEST_F(GraphplayTest, StopsAtTheTimeLimit) {
  const ToolRun run = Graphplay("--seconds 0.3 'gtest://camera/video=100000&audio=0&step=10'");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("Ended: time limit"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("100000 samples"), std::string::npos) << run.output;
}

// Twenty frames half a second apart take ten seconds on the clock and no time without it.
TEST_F(GraphplayTest, WithoutAClockNothingIsPaced) {
  const std::string target = "'gtest://camera/video=20&audio=0&step=500'";
  const ToolRun paced = Graphplay("--seconds 1 " + target);
  EXPECT_NE(paced.output.find("Ended: time limit"), std::string::npos) << paced.output;
  const ToolRun unpaced = Graphplay("--seconds 5 --no-clock " + target);
  ASSERT_EQ(unpaced.status, 0) << unpaced.output;
  EXPECT_NE(unpaced.output.find("Ended: end of stream"), std::string::npos) << unpaced.output;
  EXPECT_NE(unpaced.output.find("20 samples, 0.000 s to 9.500 s, "), std::string::npos)
      << unpaced.output;
}

TEST_F(GraphplayTest, TargetsNothingClaimsAreRefusedWithAReason) {
  const ToolRun unknown = Graphplay("'nope://host/stream'");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.output.find("no source filter is registered for it"), std::string::npos)
      << unknown.output;
  const ToolRun missing = Graphplay("'" + dir_ + "/missing.file'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.output.find("file not found"), std::string::npos) << missing.output;
  EXPECT_EQ(Graphplay("").status, 1);
}

}  // namespace
