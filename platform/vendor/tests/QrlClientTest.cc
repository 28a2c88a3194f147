#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "DeviceFixture.h"
#include "LegacyPorts.h"
#include "QrlClient.h"

namespace devicetest {
namespace {

// The legacy callback has no user value: the test's collectors are found by stream index.
Collector* collectors[QLC_MAX_STREAMS];

void OnData(LONG index, BYTE* bytes, DWORD size) {
  ASSERT_TRUE(index >= 0 && index < QLC_MAX_STREAMS);
  collectors[index]->Add(0, bytes, size);
}

char accessCode[] = "101";
char accessLevel[] = "A";

QLC_STARTBLOCK Block(BYTE channel) {
  return QLC_STARTBLOCK{channel, QLC_PROTOCOL_TCP, QLC_STREAM_MAIN, 0, "127.0.0.1",
                        accessCode, accessLevel, {0, 0}};
}

class QrlClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QLC_ClientSetNetPort(5050, 6050));
    ASSERT_TRUE(QLC_ClientStartup(QLC_VERSION, 100));
  }
  void TearDown() override {
    QLC_ClientCleanup();
    ::unsetenv(QLC_PORTS_ENV);
  }

  // Starts the simulated recorder and points the library at its legacy port.
  void StartRecorder(const std::vector<std::string>& extra = {}) {
    device_ = StartDevice(recordings_, extra);
    ASSERT_TRUE(device_->Started());
    ::setenv(QLC_PORTS_ENV, std::to_string(device_->LegacyPort()).c_str(), 1);
  }
  // Starts a stream of `channel` into `collector` and its capture; the index or -1.
  LONG Capture(BYTE channel, Collector& collector) {
    QLC_STARTBLOCK block = Block(channel);
    const LONG index = QLC_ClientStart_Other(&block, OnData);
    if (index < 0 || index >= QLC_MAX_STREAMS) return -1;
    collectors[index] = &collector;
    EXPECT_TRUE(QLC_ClientStartCapture(index));
    return index;
  }

  Recordings recordings_;
  std::unique_ptr<recsim::RecsimProcess> device_;
};

TEST(LegacyPortsTest, OverrideTakesOneOrTwoValidPorts) {
  using qrlclient::ParsePorts;
  EXPECT_EQ(ParsePorts("7000")->first, 7000);
  EXPECT_EQ(ParsePorts("7000")->second, 7000);
  EXPECT_EQ(ParsePorts("7000,7001")->second, 7001);
  for (const char* bad : {"", "0", "65536", "7000,", "x", "7000,7001,7002", " 7000"})
    EXPECT_FALSE(ParsePorts(bad)) << bad;
}

TEST_F(QrlClientTest, CaptureDeliversExactHeaderBlockThenTheStream) {
  StartRecorder();
  Collector collector;
  const LONG index = Capture(1, collector);
  ASSERT_GE(index, 0);
  const auto stream = recordings_.Stream("main.mp4");
  ASSERT_TRUE(collector.WaitForBytes(stream.size()));
  const auto blocks = collector.Blocks();
  const auto file = recordings_.Bytes("main.mp4");
  EXPECT_EQ(blocks[0].bytes, std::vector<uint8_t>(file.begin(), file.begin() + 40));
  EXPECT_TRUE(StartsWith(collector.StreamBytes(), stream));
  EXPECT_FALSE(QLC_ClientStartCapture(index));  // already capturing
  EXPECT_TRUE(QLC_ClientStopCapture(index));
  const size_t count = collector.Count();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(collector.Count(), count);
  EXPECT_TRUE(QLC_ClientStop(index));
  EXPECT_FALSE(QLC_ClientStop(index));
}

TEST_F(QrlClientTest, StartFailsForBadRequestsAndRefusingRecorders) {
  StartRecorder();
  QLC_STARTBLOCK block = Block(2);  // no such channel
  EXPECT_EQ(QLC_ClientStart_Other(&block, OnData), -1);
  block = Block(1);
  EXPECT_EQ(QLC_ClientStart_Other(&block, nullptr), -1);
  char badCode[] = "12";
  block.accessCode = badCode;
  EXPECT_EQ(QLC_ClientStart_Other(&block, OnData), -1);
  EXPECT_FALSE(QLC_ClientStartCapture(-1));
  EXPECT_FALSE(QLC_ClientStartCapture(QLC_MAX_STREAMS));
  EXPECT_FALSE(QLC_ClientSetTTL(0));
  EXPECT_TRUE(QLC_ClientSetTTL(64));
  EXPECT_FALSE(QLC_ClientStartup(100, 100));

  StartRecorder({"--device-fault", "refuse-login"});
  block = Block(1);
  EXPECT_EQ(QLC_ClientStart_Other(&block, OnData), -1);
}

TEST_F(QrlClientTest, CleanupIsCountedSoAnotherSessionKeepsItsStream) {
  StartRecorder();
  ASSERT_TRUE(QLC_ClientStartup(QLC_VERSION, 100));  // a second session
  Collector collector;
  const LONG index = Capture(1, collector);
  ASSERT_GE(index, 0);
  ASSERT_TRUE(collector.WaitForBytes(1));
  EXPECT_TRUE(QLC_ClientCleanup());
  const size_t seen = collector.StreamBytes().size();
  EXPECT_TRUE(collector.WaitForBytes(seen + 1000));
  EXPECT_TRUE(QLC_ClientCleanup());  // the last: the stream ends and its index is free
  const size_t count = collector.Count();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(collector.Count(), count);
  EXPECT_FALSE(QLC_ClientStop(index));
  QLC_STARTBLOCK block = Block(1);
  EXPECT_EQ(QLC_ClientStart_Other(&block, OnData), -1);  // not started up
  ASSERT_TRUE(QLC_ClientStartup(QLC_VERSION, 100));  // for TearDown
}

TEST_F(QrlClientTest, StopCaptureWaitsForRunningCallback) {
  StartRecorder();
  Collector collector;
  std::atomic<bool> inside{false};
  collector.onBlock = [&] {
    inside = true;
    std::this_thread::sleep_for(300ms);
    inside = false;
  };
  const LONG index = Capture(1, collector);
  ASSERT_GE(index, 0);
  while (!inside) std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(QLC_ClientStopCapture(index));
  EXPECT_FALSE(inside);
  EXPECT_TRUE(QLC_ClientStop(index));
}

TEST_F(QrlClientTest, ShortHeaderEndsTheCaptureUnseenAndDroppedStreamStillStops) {
  StartRecorder({"--device-fault", "short-header"});
  Collector shortened;
  LONG index = Capture(1, shortened);
  ASSERT_GE(index, 0);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(shortened.Count(), 0u);
  EXPECT_TRUE(QLC_ClientStop(index));

  StartRecorder({"--device-fault", "drop-after=3000"});
  Collector dropped;
  index = Capture(1, dropped);
  ASSERT_GE(index, 0);
  ASSERT_TRUE(dropped.WaitForBytes(3000));
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(dropped.StreamBytes().size(), 3000u);
  EXPECT_TRUE(QLC_ClientStopCapture(index));
  EXPECT_TRUE(QLC_ClientStop(index));
}

TEST_F(QrlClientTest, SecondPortIsTriedWhenTheFirstRefuses) {
  StartRecorder();
  ::setenv(QLC_PORTS_ENV, ("1," + std::to_string(device_->LegacyPort())).c_str(), 1);
  Collector collector;
  const LONG index = Capture(1, collector);
  ASSERT_GE(index, 0);
  EXPECT_TRUE(collector.WaitForBytes(1));
  EXPECT_TRUE(QLC_ClientStop(index));
}

}  // namespace
}  // namespace devicetest
