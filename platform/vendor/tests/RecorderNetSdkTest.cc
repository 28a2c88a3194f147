#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "DeviceFixture.h"
#include "RecorderNetSdk.h"

namespace devicetest {
namespace {

void OnData(LONG, DWORD type, BYTE* bytes, DWORD size, void* user) {
  static_cast<Collector*>(user)->Add(type, bytes, size);
}

class RecorderNetSdkTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(RNS_Init()); }
  void TearDown() override { RNS_Cleanup(); }

  // Starts the simulated recorder with `extra` options and logs in to it.
  LONG Connect(const std::vector<std::string>& extra = {}) {
    device_ = StartDevice(recordings_, extra);
    if (!device_->Started()) return -1;
    return RNS_Login("127.0.0.1", device_->RecorderPort(), "admin", "12345", nullptr);
  }
  LONG Live(LONG login, DWORD linkMode, Collector& collector) {
    RNS_CLIENTINFO info{1, linkMode, 0, nullptr};
    const LONG handle = RNS_RealPlay(login, &info);
    if (handle >= 0) {
      EXPECT_TRUE(RNS_SetRealDataCallBack(handle, OnData, &collector));
    }
    return handle;
  }

  Recordings recordings_;
  std::unique_ptr<recsim::RecsimProcess> device_;
};

TEST_F(RecorderNetSdkTest, LoginChecksUserAndPasswordAndInvalidHandlesFail) {
  device_ = StartDevice(recordings_);
  ASSERT_TRUE(device_->Started());
  const WORD port = device_->RecorderPort();
  RNS_DEVICEINFO info;
  EXPECT_EQ(RNS_Login("127.0.0.1", port, "admin", "wrong", &info), -1);
  EXPECT_EQ(RNS_GetLastError(), RNS_ERR_PASSWORD);
  EXPECT_EQ(RNS_Login("127.0.0.1", port, "nobody", "12345", &info), -1);
  EXPECT_EQ(RNS_GetLastError(), RNS_ERR_PASSWORD);
  const LONG login = RNS_Login("127.0.0.1", port, "admin", "12345", &info);
  EXPECT_GE(login, 0);
  // The live session's Stop relies on this call failing.
  EXPECT_FALSE(RNS_SetRealDataCallBack(-1, nullptr, nullptr));
  EXPECT_FALSE(RNS_StopRealPlay(-1));
  EXPECT_FALSE(RNS_PlayBackControl(12345, RNS_PLAY_START, 0, nullptr));
  EXPECT_TRUE(RNS_Logout(login));
  EXPECT_FALSE(RNS_Logout(login));
  EXPECT_EQ(RNS_GetLastError(), RNS_ERR_NOT_LOGGED_IN);
}

TEST_F(RecorderNetSdkTest, UnreachableOrRefusingRecorderFailsWithoutPasswordError) {
  EXPECT_EQ(Connect({"--device-fault", "refuse-login"}), -1);
  EXPECT_EQ(RNS_GetLastError(), RNS_ERR_BUSY);
  device_.reset();  // nothing listens on its port any more
  EXPECT_EQ(RNS_Login("127.0.0.1", 1, "admin", "12345", nullptr), -1);
  EXPECT_EQ(RNS_GetLastError(), RNS_ERR_CONNECT);
}

TEST_F(RecorderNetSdkTest, LiveViewDeliversHeaderThenPacedLoopedStream) {
  const LONG login = Connect();
  ASSERT_GE(login, 0);
  Collector collector;
  const LONG handle = Live(login, RNS_LINK_MAIN, collector);
  ASSERT_GE(handle, 0);
  const auto stream = recordings_.Stream("main.mp4");
  // Past the end of the recording: the live view loops.
  ASSERT_TRUE(collector.WaitForBytes(stream.size() + 1));
  const auto started = std::chrono::steady_clock::now();
  const auto blocks = collector.Blocks();
  EXPECT_EQ(blocks[0].type, RNS_DATA_HEADER);
  const auto file = recordings_.Bytes("main.mp4");
  EXPECT_EQ(blocks[0].bytes, std::vector<uint8_t>(file.begin(), file.begin() + 40));
  for (size_t i = 1; i < blocks.size(); ++i) EXPECT_EQ(blocks[i].type, RNS_DATA_STREAM);
  EXPECT_TRUE(StartsWith(collector.StreamBytes(), stream));
  // Paced by the frame times (1 s per round): in half a second no more than about one
  // further round arrives. Only an upper bound, which a slow machine cannot break.
  std::this_thread::sleep_for(500ms);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                                       started).count();
  EXPECT_LT(collector.StreamBytes().size(), stream.size() * (2 + seconds) + 1);
  EXPECT_TRUE(RNS_StopRealPlay(handle));
  const size_t count = collector.Count();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(collector.Count(), count);
  EXPECT_FALSE(RNS_StopRealPlay(handle));
}

TEST_F(RecorderNetSdkTest, SubStreamIsTheSecondRecordingAndUnknownChannelsFail) {
  const LONG login = Connect();
  ASSERT_GE(login, 0);
  Collector collector;
  const LONG handle = Live(login, RNS_LINK_SUB, collector);
  ASSERT_GE(handle, 0);
  const auto stream = recordings_.Stream("sub.mp4");
  ASSERT_TRUE(collector.WaitForBytes(stream.size()));
  EXPECT_TRUE(StartsWith(collector.StreamBytes(), stream));
  EXPECT_TRUE(RNS_StopRealPlay(handle));

  RNS_CLIENTINFO other{2, RNS_LINK_MAIN, 0, nullptr};
  EXPECT_LT(RNS_RealPlay(login, &other), 0);
  EXPECT_EQ(RNS_GetLastError(), RNS_ERR_CHANNEL);
  RNS_CLIENTINFO badMode{1, 7, 0, nullptr};
  EXPECT_LT(RNS_RealPlay(login, &badMode), 0);
}

TEST_F(RecorderNetSdkTest, PlaybackByNameWaitsForStartAndFollowsCommands) {
  const LONG login = Connect();
  ASSERT_GE(login, 0);
  EXPECT_LT(RNS_PlayBackByName(login, "missing.mp4", RNS_PACE_REAL_TIME), 0);
  EXPECT_EQ(RNS_GetLastError(), RNS_ERR_NO_FILE);
  EXPECT_LT(RNS_PlayBackByName(login, "../outside.mp4", RNS_PACE_REAL_TIME), 0);

  const LONG handle = RNS_PlayBackByName(login, "clips/short.mp4", RNS_PACE_REAL_TIME);
  ASSERT_GE(handle, 0);
  DWORD seconds = 0;
  EXPECT_TRUE(RNS_PlayBackControl(handle, RNS_PLAY_GET_TOTAL_LEN, 0, &seconds));
  EXPECT_EQ(seconds, 1u);  // 5 frames at 25 per second, rounded up
  EXPECT_FALSE(RNS_PlayBackControl(handle, 99, 0, nullptr));
  EXPECT_EQ(RNS_GetLastError(), RNS_ERR_COMMAND);
  EXPECT_FALSE(RNS_PlayBackControl(handle, RNS_PLAY_SET_POS, 101, nullptr));

  // Started before the callback is set, as a host does: nothing is lost meanwhile.
  Collector collector;
  EXPECT_TRUE(RNS_PlayBackControl(handle, RNS_PLAY_START, 0, nullptr));
  std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(RNS_SetPlayDataCallBack(handle, OnData, &collector));
  const auto stream = recordings_.Stream("clips/short.mp4");
  ASSERT_TRUE(collector.WaitForBytes(stream.size()));
  EXPECT_EQ(collector.Blocks()[0].bytes.size(), 40u);
  EXPECT_EQ(collector.StreamBytes(), stream);  // once, not looped

  // Back to the start: the recording again from its beginning (no second header).
  EXPECT_TRUE(RNS_PlayBackControl(handle, RNS_PLAY_SET_POS, 0, nullptr));
  ASSERT_TRUE(collector.WaitForBytes(2 * stream.size()));
  EXPECT_EQ(collector.StreamBytes().size(), 2 * stream.size());
  EXPECT_TRUE(RNS_PlayBackControl(handle, RNS_PLAY_PAUSE, 0, nullptr));
  EXPECT_TRUE(RNS_PlayBackControl(handle, RNS_PLAY_RESUME, 0, nullptr));
  EXPECT_TRUE(RNS_SetPlayDataCallBack(handle, nullptr, nullptr));
  EXPECT_TRUE(RNS_StopPlayBack(handle));
  EXPECT_FALSE(RNS_PlayBackControl(handle, RNS_PLAY_RESUME, 0, nullptr));
  EXPECT_EQ(RNS_GetLastError(), RNS_ERR_INVALID_HANDLE);
}

TEST_F(RecorderNetSdkTest, PausedPlaybackHoldsAndSeekLandsInSecondHalf) {
  const LONG login = Connect();
  ASSERT_GE(login, 0);
  const LONG handle = RNS_PlayBackByName(login, "main.mp4", RNS_PACE_REAL_TIME);
  ASSERT_GE(handle, 0);
  Collector collector;
  EXPECT_TRUE(RNS_SetPlayDataCallBack(handle, OnData, &collector));
  EXPECT_TRUE(RNS_PlayBackControl(handle, RNS_PLAY_START, 0, nullptr));
  ASSERT_TRUE(collector.WaitForBytes(1));
  EXPECT_TRUE(RNS_PlayBackControl(handle, RNS_PLAY_PAUSE, 0, nullptr));
  EXPECT_TRUE(RNS_PlayBackControl(handle, RNS_PLAY_SET_POS, 50, nullptr));
  const size_t before = collector.StreamBytes().size();
  EXPECT_TRUE(RNS_PlayBackControl(handle, RNS_PLAY_RESUME, 0, nullptr));
  const auto stream = recordings_.Stream("main.mp4");
  // After the jump the playback ends with the recording's last bytes, short of a whole pass.
  ASSERT_TRUE(collector.WaitFor([&stream](const std::vector<Collector::Block>& blocks) {
    const auto& last = blocks.back().bytes;
    return blocks.size() > 1 && last.size() <= stream.size() &&
           std::equal(last.begin(), last.end(), stream.end() - last.size());
  }));
  const size_t afterSeek = collector.StreamBytes().size() - before;
  EXPECT_GT(afterSeek, 0u);
  EXPECT_LT(afterSeek, stream.size());
  EXPECT_TRUE(RNS_StopPlayBack(handle));
}

TEST_F(RecorderNetSdkTest, PlaybackByTimeAnswersInsideTheConfiguredSpan) {
  const LONG login = Connect({"--span", "1:20080801120000_20080801123000=" +
                                            recordings_.Path("main.mp4")});
  ASSERT_GE(login, 0);
  RNS_DEVICETIME start{2008, 8, 1, 12, 0, 0}, stop{2008, 8, 1, 12, 30, 0};
  const LONG handle = RNS_PlayBackByTime(login, 1, &start, &stop, RNS_PACE_REAL_TIME);
  ASSERT_GE(handle, 0);
  DWORD seconds = 0;
  EXPECT_TRUE(RNS_PlayBackControl(handle, RNS_PLAY_GET_TOTAL_LEN, 0, &seconds));
  EXPECT_EQ(seconds, 1800u);
  Collector collector;
  EXPECT_TRUE(RNS_PlayBackControl(handle, RNS_PLAY_START, 0, nullptr));
  EXPECT_TRUE(RNS_SetPlayDataCallBack(handle, OnData, &collector));
  const auto stream = recordings_.Stream("main.mp4");
  ASSERT_TRUE(collector.WaitForBytes(stream.size()));
  EXPECT_EQ(collector.StreamBytes(), stream);
  EXPECT_TRUE(RNS_StopPlayBack(handle));

  RNS_DEVICETIME late{2008, 8, 1, 12, 31, 0};
  EXPECT_LT(RNS_PlayBackByTime(login, 1, &start, &late, RNS_PACE_REAL_TIME), 0);
  EXPECT_EQ(RNS_GetLastError(), RNS_ERR_NO_FILE);
  EXPECT_LT(RNS_PlayBackByTime(login, 2, &start, &stop, RNS_PACE_REAL_TIME), 0);
  EXPECT_LT(RNS_PlayBackByTime(login, 1, &stop, &start, RNS_PACE_REAL_TIME), 0);
}

TEST_F(RecorderNetSdkTest, CleanupIsCountedSoAnotherSessionKeepsItsStream) {
  const LONG login = Connect();
  ASSERT_GE(login, 0);
  ASSERT_TRUE(RNS_Init());  // a second session
  Collector first, second;
  const LONG one = Live(login, RNS_LINK_MAIN, first);
  const LONG other = Live(login, RNS_LINK_SUB, second);
  ASSERT_GE(one, 0);
  ASSERT_GE(other, 0);
  ASSERT_TRUE(first.WaitForBytes(1));
  EXPECT_TRUE(RNS_StopRealPlay(one));
  EXPECT_TRUE(RNS_Cleanup());  // the first session is gone
  const size_t seen = second.StreamBytes().size();
  EXPECT_TRUE(second.WaitForBytes(seen + 1000));
  EXPECT_TRUE(RNS_Cleanup());  // the last one: everything stops
  const size_t count = second.Count();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(second.Count(), count);
  EXPECT_LT(RNS_RealPlay(login, nullptr), 0);
  EXPECT_EQ(RNS_Login("127.0.0.1", device_->RecorderPort(), "admin", "12345", nullptr), -1);
  EXPECT_EQ(RNS_GetLastError(), RNS_ERR_NOT_INIT);
  ASSERT_TRUE(RNS_Init());  // for TearDown
}

TEST_F(RecorderNetSdkTest, StopWaitsForRunningCallbackAndMayBeCalledFromIt) {
  const LONG login = Connect();
  ASSERT_GE(login, 0);
  Collector collector;
  std::atomic<bool> inside{false};
  std::atomic<int> afterStop{0};
  std::atomic<bool> stopped{false};
  collector.onBlock = [&] {
    if (stopped) ++afterStop;
    inside = true;
    std::this_thread::sleep_for(300ms);
    inside = false;
  };
  const LONG handle = Live(login, RNS_LINK_MAIN, collector);
  ASSERT_GE(handle, 0);
  while (!inside) std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(RNS_StopRealPlay(handle));
  stopped = true;
  EXPECT_FALSE(inside);
  std::this_thread::sleep_for(400ms);
  EXPECT_EQ(afterStop, 0);

  // A callback that stops its own stream returns normally.
  Collector own;
  std::atomic<LONG> ownHandle{-1};
  std::atomic<int> ownStops{0};
  own.onBlock = [&] {
    if (ownStops++ == 0) {
      EXPECT_TRUE(RNS_StopRealPlay(ownHandle));
    }
  };
  RNS_CLIENTINFO info{1, RNS_LINK_MAIN, 0, nullptr};
  ownHandle = RNS_RealPlay(login, &info);
  ASSERT_GE(ownHandle.load(), 0);
  EXPECT_TRUE(RNS_SetRealDataCallBack(ownHandle, OnData, &own));
  ASSERT_TRUE(own.WaitFor([](const auto& blocks) { return !blocks.empty(); }));
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(own.Count(), 1u);
}

TEST_F(RecorderNetSdkTest, DroppedOrStalledStreamEndsAtItsByteCountAndStillStops) {
  for (const std::string fault : {"drop-after=5000", "stall-after=5000"}) {
    SCOPED_TRACE(fault);
    const LONG login = Connect({"--device-fault", fault});
    ASSERT_GE(login, 0);
    Collector collector;
    const LONG handle = Live(login, RNS_LINK_MAIN, collector);
    ASSERT_GE(handle, 0);
    ASSERT_TRUE(collector.WaitForBytes(5000));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(collector.StreamBytes().size(), 5000u);
    EXPECT_TRUE(RNS_StopRealPlay(handle));
    RNS_Logout(login);
  }
}

TEST_F(RecorderNetSdkTest, BrokenHeadersArePassedOnOrEndTheStream) {
  LONG login = Connect({"--device-fault", "bad-magic"});
  ASSERT_GE(login, 0);
  Collector collector;
  LONG handle = Live(login, RNS_LINK_MAIN, collector);
  ASSERT_GE(handle, 0);
  ASSERT_TRUE(collector.WaitFor([](const auto& blocks) { return !blocks.empty(); }));
  const auto header = collector.Blocks()[0].bytes;
  EXPECT_EQ(std::string(header.begin(), header.begin() + 4), "4MSH");
  EXPECT_TRUE(RNS_StopRealPlay(handle));

  // A 39-byte header never reaches the callback, nor does what follows it.
  login = Connect({"--device-fault", "short-header"});
  ASSERT_GE(login, 0);
  Collector shortened;
  handle = Live(login, RNS_LINK_MAIN, shortened);
  ASSERT_GE(handle, 0);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(shortened.Count(), 0u);
  EXPECT_TRUE(RNS_StopRealPlay(handle));
}

}  // namespace
}  // namespace devicetest
