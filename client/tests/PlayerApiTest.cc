// The player table and the argument rules of the exported functions, and a windowed player
// driving the player SDK through its adaptor.
#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ClientFixture.h"
#include "DebugOutput.h"
#include "RtspUrl.h"
#include "TimeUnits.h"

namespace streamclient::test {
namespace {

TEST(PlayerApiBeforeInit, EverythingFails) {
  if (PlayerManager::Instance().Initialised()) GTEST_SKIP() << "library started earlier";
  RecordingSink sink;
  EXPECT_EQ(QRLS_CreatePlayer(&sink, 0, RecordData, nullptr, 0), -1);
  EXPECT_EQ(QRLS_Play(0), -1);
  EXPECT_EQ(QRLS_Destroy(0), -1);
  EXPECT_EQ(QRLS_OpenURL(0, "rtsp://127.0.0.1/av_stream", 0), -1);
}

class PlayerApiTest : public ClientFixture {
 protected:
  int Create() { return NewPlayer(0); }
};

TEST_F(PlayerApiTest, HandlesOutsideTheTable) {
  for (int handle : {-1, 100}) {
    EXPECT_EQ(QRLS_Play(handle), -1);
    EXPECT_EQ(QRLS_Stop(handle), -1);
    EXPECT_EQ(QRLS_Destroy(handle), -1);
    EXPECT_EQ(QRLS_GrabPic(handle, "/tmp/x.bmp", 0), -1);
  }
  EXPECT_EQ(InitStreamClientLib(), 0);
  EXPECT_EQ(FiniStreamClientLib(), 0);
}

TEST_F(PlayerApiTest, SinkOrMessageCallbackRequired) {
  const int before = Create();
  EXPECT_EQ(QRLS_CreatePlayer(nullptr, 0, RecordData, nullptr, 0), -1);
  const int after = Create();
  // No id was consumed by the refused call: the queue moved on by exactly one.
  EXPECT_EQ(after, (before + 1) % kMaxPlayers);
}

TEST_F(PlayerApiTest, HundredPlayersAndRoundRobinIds) {
  std::set<int> ids;
  for (int handle = Create(); handle >= 0; handle = Create()) ids.insert(handle);
  EXPECT_EQ(ids.size(), 100u);  // the 101st was refused
  EXPECT_EQ(*ids.begin(), 0);
  EXPECT_EQ(*ids.rbegin(), 99);
  EXPECT_EQ(QRLS_Destroy(7), 0);
  EXPECT_EQ(QRLS_Stop(3), -1);  // an IDLE player: -1, but the handle is released
  EXPECT_EQ(QRLS_Play(3), -1);
  EXPECT_EQ(Create(), 7);  // released ids come back in release order
  EXPECT_EQ(Create(), 3);
  EXPECT_EQ(Create(), -1);
}

TEST_F(PlayerApiTest, ReleasedIdWaitsBehindFreeOnes) {
  const int first = Create();
  Create();
  ASSERT_EQ(QRLS_Destroy(first), 0);
  EXPECT_NE(Create(), first);
}

TEST_F(PlayerApiTest, OpenRefusesBadUrlsWithoutTraffic) {
  const int handle = Create();
  EXPECT_EQ(QRLS_OpenURL(handle, "127.0.0.1/av_stream", 0), -1);
  EXPECT_EQ(QRLS_OpenURL(handle, "http://127.0.0.1/av_stream", 0), -1);
  EXPECT_EQ(QRLS_OpenURL(handle, ("rtsp://127.0.0.1/" + std::string(1023, 'p')).c_str(), 0), -1);
  EXPECT_TRUE(Host().Events().empty());
}

TEST_F(PlayerApiTest, GrabNeedsAWindowedPlayer) {
  const int handle = Create();  // no window
  EXPECT_EQ(QRLS_GrabPic(handle, "/tmp/grab.bmp", 0), -1);
  EXPECT_EQ(QRLS_GrabPic(handle, std::string(1025, 'p').c_str(), 0), -1);
  ASSERT_EQ(QRLS_Destroy(handle), 0);
  EXPECT_EQ(QRLS_GrabPic(handle, "/tmp/grab.bmp", 0), -1);
}

TEST_F(PlayerApiTest, TracesNameTheFailure) {
  std::mutex lock;
  std::vector<std::string> traces;
  SetDebugCapture([&](std::string_view text) {
    std::lock_guard guard(lock);
    traces.emplace_back(text);
  });
  QRLS_CreatePlayer(nullptr, 0, RecordData, nullptr, 0);
  const int handle = Create();
  QRLS_Play(handle);
  QRLS_OpenURL(handle, "file://x/y", 0);
  QRLS_Destroy(handle);
  QRLS_OpenURL(handle, "rtsp://127.0.0.1/av_stream", 0);
  SetDebugCapture({});
  EXPECT_EQ(traces, (std::vector<std::string>{
                        "zxq--------pSink and pMsgFunc can not both be null!\n",
                        "zxq--------state is wrong!\n",
                        "zxq--------OpenURL failed2\n",
                        "zxq--------OpenURL player is not existed!\n",
                        "zxq--------OpenURL failed2\n",
                    }));
}

TEST(RtspUrl, Forms) {
  const RtspUrl live = RtspUrl::Parse("rtsp://192.168.1.10/av_stream");
  EXPECT_TRUE(live.valid);
  EXPECT_EQ(live.kind, SchemeKind::kRtsp);
  EXPECT_EQ(live.host, "192.168.1.10");
  EXPECT_EQ(live.port, 554);
  EXPECT_EQ(live.path, "/av_stream");
  EXPECT_TRUE(IsLivePath(live.path));
  const RtspUrl file = RtspUrl::Parse("rtsp://192.168.1.10:8554/rec/file01");
  EXPECT_EQ(file.port, 8554);
  EXPECT_EQ(file.path, "/rec/file01");
  EXPECT_FALSE(IsLivePath(file.path));
  EXPECT_FALSE(RtspUrl::Parse("192.168.1.10/av_stream").valid);
  const RtspUrl http = RtspUrl::Parse("http://host");
  EXPECT_TRUE(http.valid);
  EXPECT_EQ(http.port, 80);
  EXPECT_FALSE(IsLivePath("no-slash"));
}

TEST(TimeUnits, PlayedTimeDoesNotWrap) {
  EXPECT_EQ(PlayedMsToUnits(0), 0);
  EXPECT_EQ(PlayedMsToUnits(1000), 64);
  EXPECT_EQ(PlayedMsToUnits(20u * 3600 * 1000), 20 * 3600 * 64);  // past the 32-bit wrap
}

TEST_F(PlayerApiTest, WindowedPlayerDrivesThePlayerSdk) {
  LoopbackRtspServer server;
  const int handle = Track(QRLS_CreatePlayer(&sink_, 1, nullptr, RecordMessage, 0));
  ASSERT_GE(handle, 0);
  EXPECT_EQ(QRLS_SetVolume(handle, 100), -1);  // IDLE
  ASSERT_EQ(QRLS_OpenURL(handle, server.Url().c_str(), 0), 1);
  EXPECT_EQ(QRLS_ThrowBFrameNum(handle, 1), 0);
  int time = -5;
  EXPECT_EQ(QRLS_GetCurTime(handle, &time), -1);  // not playing yet
  ASSERT_EQ(QRLS_Play(handle), 1);
  ASSERT_EQ(QRLS_GetCurTime(handle, &time), 0);
  EXPECT_GE(time, 0);
  EXPECT_EQ(QRLS_SetVolume(handle, 0x8000), 0);
  EXPECT_EQ(QRLS_OpenSound(handle, 0), 0);
  EXPECT_EQ(QRLS_CloseSound(handle), 0);
  EXPECT_EQ(QRLS_ResetWndHandle(handle, 2), 0);
  EXPECT_EQ(QRLS_Stop(handle), 0);
  EXPECT_EQ(QRLS_RefreshPlay(handle), -1);
}

TEST_F(PlayerApiTest, RejectedHeaderFailsTheWindowedOpen) {
  LoopbackRtspServer server;
  server.SetScript([](const ServerRequest& request) -> std::optional<std::string> {
    if (request.method != "SETUP") return std::nullopt;
    return LoopbackRtspServer::Answer(200, "OK", request.cseq, "Session: 1\r\n",
                                      std::string(40, 'z'));
  });
  const int handle = Track(QRLS_CreatePlayer(&sink_, 1, RecordData, nullptr, 1));
  EXPECT_EQ(QRLS_OpenURL(handle, server.Url().c_str(), 0), -1);
  EXPECT_EQ(Host().Events(), (std::vector<std::string>{"opened:0"}));
}

}  // namespace
}  // namespace streamclient::test
