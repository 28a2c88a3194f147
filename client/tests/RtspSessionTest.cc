// Sessions against the loopback server: the whole road from open to stop over TCP and UDP
// media, the request texts, the notifications and what happens when the server misbehaves.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <string>
#include <vector>

#include "ClientFixture.h"

namespace streamclient::test {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> Methods(const std::vector<ServerRequest>& requests) {
  std::vector<std::string> methods;
  for (const ServerRequest& request : requests) methods.push_back(request.method);
  return methods;
}

std::string Expected(const std::string& format, const std::string& uri, int cseq,
                     const std::string& a = "", const std::string& b = "") {
  std::string text = format;
  auto put = [&text](const std::string& key, const std::string& value) {
    for (size_t pos = text.find(key); pos != std::string::npos; pos = text.find(key, pos)) {
      text.replace(pos, key.size(), value);
      pos += value.size();
    }
  };
  put("{uri}", uri);
  put("{cseq}", std::to_string(cseq));
  put("{a}", a);
  put("{b}", b);
  return text;
}

class RtspSessionTest : public ClientFixture {
 protected:
  LoopbackRtspServer server_;
};

TEST_F(RtspSessionTest, TcpPlayerFromOpenToStop) {
  const int handle = NewPlayer(0);
  ASSERT_GE(handle, 0);
  ASSERT_EQ(QRLS_OpenURL(handle, server_.Url("/rec/file01").c_str(), 77), 1);
  // Everything of the open arrives before QRLS_OpenURL returns, header first.
  EXPECT_EQ(Host().Events(), (std::vector<std::string>{"header:40", "total:640", "opened:1",
                                                       "msg:1:640", "msg:2:1"}));
  EXPECT_EQ(Host().Header(), LoopbackRtspServer::StreamHeader());
  EXPECT_EQ(Host().LastUserData(), 77);

  EXPECT_EQ(QRLS_Play(handle), 1);
  EXPECT_EQ(QRLS_Play(handle), -1);  // already playing: no request
  const std::string media = "group-bytes-" + std::string(7000, 'm') + "-end";
  ASSERT_TRUE(server_.SendMedia(media));
  ASSERT_TRUE(Host().WaitForStream(media.size(), 5000));
  EXPECT_EQ(Host().Stream(), media);
  for (int block : Host().BlockSizes()) EXPECT_LE(block, 5108);

  EXPECT_EQ(QRLS_Resume(handle), -1);  // not paused
  EXPECT_EQ(QRLS_Pause(handle), 1);
  EXPECT_EQ(QRLS_Resume(handle), 1);
  EXPECT_EQ(QRLS_RandomPlay(handle, 1280), 1);
  EXPECT_EQ(QRLS_ChangeRate(handle, 2), 0);
  EXPECT_EQ(QRLS_Stop(handle), 0);
  EXPECT_EQ(QRLS_Play(handle), -1);  // the handle is gone

  EXPECT_EQ(Methods(server_.Commands()),
            (std::vector<std::string>{"SETUP", "PLAY", "PAUSE", "PLAY", "PLAY", "PLAY",
                                      "TEARDOWN"}));
  EXPECT_EQ(Host().Count("opened:0"), 0);
}

TEST_F(RtspSessionTest, UdpDatagramsArriveWhole) {
  const int handle = NewPlayer(1);
  ASSERT_EQ(QRLS_OpenURL(handle, server_.Url().c_str(), 5), 1);
  ASSERT_EQ(QRLS_Play(handle), 1);
  EXPECT_NE(server_.Commands()[0].text.find("RTP/AVP/UDP;unicast;client_port=10000-10001"),
            std::string::npos);
  ASSERT_TRUE(server_.SendMedia(std::string(1000, 'a')));
  ASSERT_TRUE(Host().WaitForStream(1000, 5000));
  ASSERT_TRUE(server_.SendMedia(std::string(333, 'b')));
  ASSERT_TRUE(Host().WaitForStream(1333, 5000));
  EXPECT_EQ(Host().BlockSizes(), (std::vector<int>{1000, 333}));
  EXPECT_EQ(QRLS_Stop(handle), 0);
}

std::atomic<bool> g_thrown{false};

int ThrowOnFirstBlock(int handle, int userData, int dataType, unsigned char* buffer, int length) {
  if (dataType == DATA_STREAM && !g_thrown.exchange(true)) throw std::runtime_error("host fault");
  return RecordData(handle, userData, dataType, buffer, length);
}

TEST_F(RtspSessionTest, ThrowingCallbackDoesNotEndReception) {
  g_thrown = false;
  const int handle = Track(QRLS_CreatePlayer(&sink_, 0, ThrowOnFirstBlock, nullptr, 1));
  ASSERT_EQ(QRLS_OpenURL(handle, server_.Url().c_str(), 0), 1);
  ASSERT_EQ(QRLS_Play(handle), 1);
  ASSERT_TRUE(server_.SendMedia("lost-to-the-exception"));
  std::this_thread::sleep_for(50ms);
  ASSERT_TRUE(server_.SendMedia("kept"));
  ASSERT_TRUE(Host().WaitForStream(4, 5000));
  EXPECT_EQ(Host().Stream(), "kept");
  EXPECT_EQ(QRLS_Stop(handle), 0);
}

TEST_F(RtspSessionTest, RequestTextsByteForByte) {
  const int handle = NewPlayer(0);
  const std::string uri = server_.Url("/rec/file01");
  ASSERT_EQ(QRLS_OpenURL(handle, uri.c_str(), 0), 1);
  ASSERT_EQ(QRLS_Play(handle), 1);
  ASSERT_EQ(QRLS_Pause(handle), 1);
  ASSERT_EQ(QRLS_Resume(handle), 1);
  ASSERT_EQ(QRLS_RandomPlay(handle, 1280), 1);
  ASSERT_EQ(QRLS_ChangeRate(handle, -2), 0);
  ASSERT_EQ(QRLS_Stop(handle), 0);

  // CSeq counts every request in sending order, keep-alives included.
  const std::vector<ServerRequest> all = server_.Requests();
  for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i].cseq, static_cast<int>(i) + 1);

  const std::vector<ServerRequest> commands = server_.Commands();
  ASSERT_EQ(commands.size(), 7u);
  const std::string session = "4711;timeout=60";
  const std::vector<std::string> expected = {
      Expected("SETUP {uri} RTSP/1.0\r\nCSeq: {cseq}\r\nTransport: RTP/AVP/TCP;unicast;"
               "client_port=10000-10001\r\nUser-agent: Qrlplayer\r\n\r\n",
               uri, commands[0].cseq),
      Expected("PLAY {uri} RTSP/1.0\r\nCSeq: {cseq}\r\nSession:{a}\r\nRange: npt=0.0-\r\n"
               "User-agent: Qrlplayer\r\n\r\n",
               uri, commands[1].cseq, session),
      Expected("PAUSE {uri} RTSP/1.0\r\nCSeq: {cseq}\r\nUser-agent: {a}\r\n\r\n", uri,
               commands[2].cseq, session),
      Expected("PLAY {uri} RTSP/1.0\r\nCSeq: {cseq}\r\nUser-agent: {a}\r\n\r\n", uri,
               commands[3].cseq, session),
      Expected("PLAY {uri} RTSP/1.0\r\nCSeq: {cseq}\r\nSession:{a}\r\nRange: npt=1280.0-\r\n"
               "User-agent: Qrlplayer\r\n\r\n",
               uri, commands[4].cseq, session),
      Expected("PLAY {uri} RTSP/1.0\r\nCSeq: {cseq}\r\nSession:{a}\r\nScale:-2\r\n"
               "Range: npt=0.0-\r\nUser-agent: Qrlplayer\r\n\r\n",
               uri, commands[5].cseq, session),
      Expected("TEARDOWN {uri} RTSP/1.0\r\nCSeq: {cseq}\r\nUser-agent: {a}\r\n\r\n", uri,
               commands[6].cseq, session),
  };
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(commands[i].text, expected[i]) << i;
}

TEST_F(RtspSessionTest, KeepAliveAndOptionsTexts) {
  RtspTimings timings = PlayerManager::Instance().Timings();
  timings.keepAliveIntervalMs = 30;
  PlayerManager::Instance().SetTimings(timings);
  const int handle = NewPlayer(0);
  const std::string uri = server_.Url("/cam/av_stream");
  ASSERT_EQ(QRLS_OpenURL(handle, uri.c_str(), 0), 1);
  ASSERT_TRUE(server_.WaitForCount("ANNOUNCE", 1, 5000));
  ASSERT_EQ(QRLS_Play(handle), 1);
  int b = 0, c = 0, s = 0, h = 0;
  ASSERT_EQ(QRLS_GetVideoParams(handle, &b, &c, &s, &h), 0);
  EXPECT_EQ((std::vector<int>{b, c, s, h}), (std::vector<int>{10, 20, 30, 40}));
  EXPECT_EQ(QRLS_SetVideoParams(handle, 1, 2, 3, 255), 0);
  EXPECT_EQ(QRLS_SetVideoParams(handle, 1, 2, 3, 256), -1);
  EXPECT_EQ(QRLS_PTZControl(handle, 7, -1, 2, 3, 4), 0);
  ASSERT_EQ(QRLS_Stop(handle), 0);

  const std::vector<ServerRequest> all = server_.Requests();
  for (const ServerRequest& request : all) {
    if (request.method == "ANNOUNCE") {
      EXPECT_EQ(request.text, Expected("ANNOUNCE {uri} RTSP/1.0\r\nCSeq: {cseq}\r\nAccept: "
                                       "application/sdp\r\nUser-agent: Qrlplayer\r\n\r\n",
                                       uri, request.cseq));
    }
  }
  std::vector<ServerRequest> options;
  for (const ServerRequest& request : all) {
    if (request.method == "OPTIONS") options.push_back(request);
  }
  ASSERT_EQ(options.size(), 3u);
  EXPECT_EQ(options[0].text, Expected("OPTIONS {uri} RTSP/1.0\r\nCSeq: {cseq}\r\n\r\n", uri,
                                      options[0].cseq));
  EXPECT_EQ(options[1].text,
            Expected("OPTIONS {uri} RTSP/1.0\r\nCSeq: {cseq}\r\nbri: 1\r\ncon: 2\r\nsat: 3\r\n"
                     "hue: 255\r\n\r\n",
                     uri, options[1].cseq));
  EXPECT_EQ(options[2].text,
            Expected("OPTIONS {uri} RTSP/1.0\r\nCSeq: {cseq}\r\ncommand: 7\r\n"
                     "param1: 4294967295\r\nparam2: 2\r\nparam3: 3\r\nparam4: 4\r\n\r\n",
                     uri, options[2].cseq));
}

TEST_F(RtspSessionTest, VideoParamsNeedALiveStream) {
  const int handle = NewPlayer(0);
  ASSERT_EQ(QRLS_OpenURL(handle, server_.Url("/rec/file01").c_str(), 0), 1);
  ASSERT_EQ(QRLS_Play(handle), 1);
  const size_t before = server_.Count("OPTIONS");
  int b, c, s, h;
  EXPECT_EQ(QRLS_GetVideoParams(handle, &b, &c, &s, &h), -1);
  EXPECT_EQ(QRLS_PTZControl(handle, 1, 0, 0, 0, 0), -1);
  EXPECT_EQ(server_.Count("OPTIONS"), before);
  EXPECT_EQ(QRLS_Stop(handle), 0);
}

TEST_F(RtspSessionTest, RefusedSetupTellsTheHost) {
  server_.SetScript([](const ServerRequest& request) -> std::optional<std::string> {
    if (request.method != "SETUP") return std::nullopt;
    return LoopbackRtspServer::Answer(454, "Session Not Found", request.cseq);
  });
  const int handle = NewPlayer(0);
  EXPECT_EQ(QRLS_OpenURL(handle, server_.Url().c_str(), 0), -1);
  EXPECT_EQ(Host().Events(), (std::vector<std::string>{"opened:0", "msg:2:0"}));
  EXPECT_EQ(QRLS_Play(handle), -1);
  EXPECT_EQ(QRLS_Destroy(handle), 0);
  EXPECT_EQ(QRLS_Destroy(handle), -1);
}

TEST_F(RtspSessionTest, RedirectedSetupOpensWithoutMedia) {
  server_.SetScript([](const ServerRequest& request) -> std::optional<std::string> {
    if (request.method != "SETUP") return std::nullopt;
    return LoopbackRtspServer::Answer(302, "Moved Temporarily", request.cseq,
                                      "Location: rtsp://10.1.1.1/x\r\n");
  });
  const int handle = NewPlayer(0);
  EXPECT_EQ(QRLS_OpenURL(handle, server_.Url().c_str(), 0), 1);
  EXPECT_TRUE(Host().Events().empty());
  unsigned char header[64];
  EXPECT_EQ(QRLS_GetHeader(handle, header, sizeof header), -1);
  EXPECT_EQ(QRLS_Stop(handle), 0);
}

TEST_F(RtspSessionTest, StoredHeaderAndCallbackSwap) {
  const int handle = NewPlayer(0);
  ASSERT_EQ(QRLS_OpenURL(handle, server_.Url().c_str(), 0), 1);
  unsigned char header[40];
  EXPECT_EQ(QRLS_GetHeader(handle, header, 39), -1);
  ASSERT_EQ(QRLS_GetHeader(handle, header, 40), 40);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(header), 40), LoopbackRtspServer::StreamHeader());
  ASSERT_EQ(QRLS_Play(handle), 1);
  EXPECT_EQ(QRLS_ResetDataCallBack(handle, nullptr), 0);
  ASSERT_TRUE(server_.SendMedia("dropped"));
  EXPECT_EQ(QRLS_ResetDataCallBack(handle, RecordData), 0);
  EXPECT_EQ(QRLS_Stop(handle), 0);
}

TEST_F(RtspSessionTest, UnansweredKeepAlivesReportOnce) {
  RtspTimings timings = PlayerManager::Instance().Timings();
  timings.keepAliveIntervalMs = 20;
  timings.receiveWaitMs = 250;  // also the time the checks below have after each ANNOUNCE
  PlayerManager::Instance().SetTimings(timings);
  auto announces = std::make_shared<std::atomic<int>>(0);
  server_.SetScript([announces](const ServerRequest& request) -> std::optional<std::string> {
    if (request.method != "ANNOUNCE") return std::nullopt;
    // Three refusals, then silence: neither resets the miss count.
    if (++*announces <= 3) return LoopbackRtspServer::Answer(404, "Not Found", request.cseq);
    return std::string();
  });
  const int handle = NewPlayer(0);
  ASSERT_EQ(QRLS_OpenURL(handle, server_.Url().c_str(), 0), 1);
  ASSERT_TRUE(server_.WaitForCount("ANNOUNCE", 6, 10000));
  EXPECT_EQ(Host().Count("msg:14:0"), 1);
  EXPECT_EQ(Host().Count("disconnected"), 1);
  ASSERT_TRUE(server_.WaitForCount("ANNOUNCE", 11, 10000));
  EXPECT_EQ(Host().Count("msg:14:0"), 1);
  ASSERT_TRUE(server_.WaitForCount("ANNOUNCE", 12, 10000));
  EXPECT_EQ(Host().Count("msg:14:0"), 2);
  EXPECT_EQ(QRLS_Destroy(handle), 0);
}

TEST_F(RtspSessionTest, ServerDyingMidStreamDoesNotHang) {
  const int handle = NewPlayer(0);
  ASSERT_EQ(QRLS_OpenURL(handle, server_.Url().c_str(), 0), 1);
  ASSERT_EQ(QRLS_Play(handle), 1);
  ASSERT_TRUE(server_.SendMedia("before-death"));
  ASSERT_TRUE(Host().WaitForStream(12, 5000));
  server_.Kill();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(QRLS_Pause(handle), -1);
  EXPECT_EQ(QRLS_Stop(handle), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(Host().Stream(), "before-death");
}

TEST_F(RtspSessionTest, ClientPortsComeBackAtTheEnd) {
  auto setupPort = [this](size_t index) {
    std::vector<ServerRequest> setups;
    for (const ServerRequest& request : server_.Requests()) {
      if (request.method == "SETUP") setups.push_back(request);
    }
    const std::string& text = setups.at(index).text;
    return std::atoi(text.c_str() + text.find("client_port=") + 12);
  };
  const int first = NewPlayer(1);
  ASSERT_EQ(QRLS_OpenURL(first, server_.Url().c_str(), 0), 1);
  const int second = NewPlayer(1);
  ASSERT_EQ(QRLS_OpenURL(second, server_.Url().c_str(), 0), 1);
  EXPECT_EQ(QRLS_Stop(first), 0);
  const int third = NewPlayer(1);
  ASSERT_EQ(QRLS_OpenURL(third, server_.Url().c_str(), 0), 1);
  const int tcp = NewPlayer(0);
  ASSERT_EQ(QRLS_OpenURL(tcp, server_.Url().c_str(), 0), 1);
  EXPECT_EQ(setupPort(0), 10000);
  EXPECT_EQ(setupPort(1), 10002);
  EXPECT_EQ(setupPort(2), 10004);  // 10000 went to the back of the pool
  EXPECT_EQ(setupPort(3), 10000);  // the TCP pool is separate
  for (int handle : {second, third, tcp}) EXPECT_EQ(QRLS_Stop(handle), 0);
}

// A UDP port another program holds is passed over instead of failing the open after SETUP.
TEST_F(RtspSessionTest, UdpPortsHeldElsewhereArePassedOver) {
  const int held = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(10000);
  ASSERT_EQ(::bind(held, reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);
  const int player = NewPlayer(1);
  EXPECT_EQ(QRLS_OpenURL(player, server_.Url().c_str(), 0), 1);
  ::close(held);
  const std::vector<ServerRequest> requests = server_.Requests();
  const auto setup = std::find_if(requests.begin(), requests.end(),
                                  [](const ServerRequest& r) { return r.method == "SETUP"; });
  ASSERT_NE(setup, requests.end());
  EXPECT_NE(setup->text.find("client_port=10002-10003"), std::string::npos) << setup->text;
  EXPECT_EQ(QRLS_Stop(player), 0);
}

TEST_F(RtspSessionTest, UnreachableServerFailsTheOpen) {
  const int handle = NewPlayer(0);
  EXPECT_EQ(QRLS_OpenURL(handle, "rtsp://127.0.0.1:1/av_stream", 0), -1);
  EXPECT_EQ(Host().Events(), (std::vector<std::string>{"opened:0", "msg:2:0"}));
  EXPECT_EQ(QRLS_Destroy(handle), 0);
  const int named = NewPlayer(0);
  EXPECT_EQ(QRLS_OpenURL(named, "rtsp://localhost/av_stream", 0), -1);  // no name lookups
  EXPECT_EQ(QRLS_Destroy(named), 0);
}

}  // namespace
}  // namespace streamclient::test
