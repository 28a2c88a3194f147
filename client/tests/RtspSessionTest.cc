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
  ASSERT_TRUE(WaitFor([] { return g_thrown.load(); }, 5s));
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

// SETUP of "/hopN" is redirected to "/hop(N+1)" until N reaches `redirects`.
void RedirectChain(LoopbackRtspServer& server, int redirects) {
  server.SetScript([&server,
                    redirects](const ServerRequest& request) -> std::optional<std::string> {
    if (request.method != "SETUP") return std::nullopt;
    const size_t hop = request.text.find("/hop");
    const int n = hop == std::string::npos ? 0 : std::atoi(request.text.c_str() + hop + 4);
    if (n >= redirects) return std::nullopt;
    return LoopbackRtspServer::Answer(302, "Moved Temporarily", request.cseq,
                                      "Location: " + server.Url("/hop" + std::to_string(n + 1)) +
                                          "\r\n");
  });
}

TEST_F(RtspSessionTest, RedirectedSetupIsFollowed) {
  for (const int redirects : {1, 3}) {
    LoopbackRtspServer server;
    RedirectChain(server, redirects);
    Host().Clear();
    const int handle = NewPlayer(1);
    ASSERT_EQ(QRLS_OpenURL(handle, server.Url("/hop0").c_str(), 0), 1) << redirects;
    EXPECT_EQ(Host().Count("opened:1"), 1);
    ASSERT_EQ(QRLS_Play(handle), 1);
    const std::vector<ServerRequest> commands = server.Commands();
    ASSERT_EQ(commands.size(), static_cast<size_t>(redirects) + 2);
    // Later requests name where the redirects led.
    EXPECT_EQ(commands.back().text.find("PLAY " + server.Url("/hop" + std::to_string(redirects)) +
                                        " RTSP/1.0"),
              0u);
    ASSERT_TRUE(server.SendMedia("redirected"));
    EXPECT_TRUE(Host().WaitForStream(10, 5000));
    EXPECT_EQ(QRLS_Stop(handle), 0);
  }
}

// A SETUP answered without a stream fails the open and tells the host; it never reports
// success without media.
TEST_F(RtspSessionTest, SetupThatLeadsNowhereFails) {
  const std::vector<std::string> answers = {
      "",  // four redirects: one more than followed
      "Location: http://127.0.0.1/x\r\n",  // not a stream URL
      "",                                  // a redirect without a target
  };
  for (size_t i = 0; i < answers.size(); ++i) {
    LoopbackRtspServer server;
    if (i == 0) {
      RedirectChain(server, 4);
    } else {
      server.SetScript([&answers, i](const ServerRequest& request) -> std::optional<std::string> {
        if (request.method != "SETUP") return std::nullopt;
        return LoopbackRtspServer::Answer(302, "Moved Temporarily", request.cseq, answers[i]);
      });
    }
    Host().Clear();
    const int handle = NewPlayer(0);
    EXPECT_EQ(QRLS_OpenURL(handle, server.Url("/hop0").c_str(), 0), -1) << i;
    EXPECT_EQ(Host().Events(), (std::vector<std::string>{"opened:0", "msg:2:0"})) << i;
    EXPECT_EQ(server.Count("SETUP"), i == 0 ? 4u : 1u);
    EXPECT_EQ(QRLS_Destroy(handle), 0);
  }
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

// What a host that stops its player from inside a callback saw of that QRLS_Stop.
struct StopFromCallback {
  std::atomic<int> handle{-1};
  std::atomic<int> result{-2};
  std::atomic<int64_t> micros{0};
  std::atomic<int> calls{0};

  void Stop(int h) {
    if (h != handle || calls++ > 0) return;
    const auto start = std::chrono::steady_clock::now();
    result = QRLS_Stop(h);
    micros = std::chrono::duration_cast<std::chrono::microseconds>(
                 std::chrono::steady_clock::now() - start)
                 .count();
  }
  bool Done() const { return result != -2; }
};
StopFromCallback g_stop;

int StopOnMessage(int handle, int msg, int param1, int param2) {
  RecordMessage(handle, msg, param1, param2);
  if (msg == MSG_DISCONNECTED) g_stop.Stop(handle);
  return 0;
}

int StopOnData(int handle, int userData, int dataType, unsigned char* buffer, int length) {
  RecordData(handle, userData, dataType, buffer, length);
  if (dataType == DATA_STREAM) g_stop.Stop(handle);
  return 0;
}

class StoppingSink final : public RecordingSink {
 public:
  int OnPresentationOpened(int ok) override {
    RecordingSink::OnPresentationOpened(ok);
    if (ok) g_stop.Stop(g_stop.handle);
    return 0;
  }
};

class StopInsideCallbackTest : public RtspSessionTest {
 protected:
  void SetUp() override {
    RtspSessionTest::SetUp();
    g_stop.handle = -1;
    g_stop.result = -2;
    g_stop.calls = 0;
  }
  // The host's QRLS_Stop came back with 0 within a second, and the handle is gone.
  void ExpectStopped(int handle) {
    ASSERT_TRUE(WaitFor([] { return g_stop.Done(); }, std::chrono::seconds(10)));
    EXPECT_EQ(g_stop.result, 0);
    EXPECT_LT(g_stop.micros, 1'000'000);
    EXPECT_EQ(QRLS_Play(handle), -1);
    EXPECT_TRUE(server_.WaitForCount("TEARDOWN", 1, 5000));
  }
};

TEST_F(StopInsideCallbackTest, FromTheDisconnectMessageOfLostKeepAlives) {
  RtspTimings timings = PlayerManager::Instance().Timings();
  timings.keepAliveIntervalMs = 20;
  timings.receiveWaitMs = 100;
  PlayerManager::Instance().SetTimings(timings);
  server_.SetScript([](const ServerRequest& request) -> std::optional<std::string> {
    if (request.method == "ANNOUNCE") return std::string();
    return std::nullopt;
  });
  const int handle = Track(QRLS_CreatePlayer(&sink_, 0, RecordData, StopOnMessage, 0));
  g_stop.handle = handle;
  ASSERT_EQ(QRLS_OpenURL(handle, server_.Url().c_str(), 0), 1);
  ExpectStopped(handle);
  EXPECT_EQ(Host().Count("msg:14:0"), 1);
}

TEST_F(StopInsideCallbackTest, FromTheDisconnectMessageOfAClosedMediaConnection) {
  const int handle = Track(QRLS_CreatePlayer(&sink_, 0, RecordData, StopOnMessage, 0));
  g_stop.handle = handle;
  ASSERT_EQ(QRLS_OpenURL(handle, server_.Url().c_str(), 0), 1);
  ASSERT_EQ(QRLS_Play(handle), 1);
  ASSERT_TRUE(server_.SendMedia("last-words"));
  ASSERT_TRUE(Host().WaitForStream(10, 5000));
  server_.CloseMedia();
  ExpectStopped(handle);
  EXPECT_EQ(Host().Count("msg:14:0"), 1);
  EXPECT_EQ(Host().Count("disconnected"), 1);
}

TEST_F(StopInsideCallbackTest, FromTheDataCallback) {
  const int handle = Track(QRLS_CreatePlayer(&sink_, 0, StopOnData, RecordMessage, 1));
  g_stop.handle = handle;
  ASSERT_EQ(QRLS_OpenURL(handle, server_.Url().c_str(), 0), 1);
  ASSERT_EQ(QRLS_Play(handle), 1);
  ASSERT_TRUE(server_.SendMedia("first-block"));
  ExpectStopped(handle);
  ASSERT_TRUE(server_.SendMedia("after-the-stop"));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(Host().Stream(), "first-block");
}

// The open notifications, too, come with no lock held.
TEST_F(StopInsideCallbackTest, FromTheOpenNotification) {
  StoppingSink sink;
  g_stop.handle = Track(QRLS_CreatePlayer(&sink, 0, RecordData, nullptr, 0));
  const int handle = g_stop.handle;
  EXPECT_EQ(QRLS_OpenURL(handle, server_.Url().c_str(), 0), 1);
  ExpectStopped(handle);
  EXPECT_EQ(Host().Events(), (std::vector<std::string>{"header:40", "total:640", "opened:1"}));
}

// Only the server's media port may feed the stream: anyone else on the network could
// otherwise inject bytes into it.
TEST_F(RtspSessionTest, UdpDatagramsFromStrangersAreDroppedAndCounted) {
  const int handle = NewPlayer(1);
  ASSERT_EQ(QRLS_OpenURL(handle, server_.Url().c_str(), 0), 1);
  ASSERT_EQ(QRLS_Play(handle), 1);
  const std::string setup = server_.Commands().at(0).text;
  const int clientPort = std::atoi(setup.c_str() + setup.find("client_port=") + 12);
  const int stranger = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in client{};
  client.sin_family = AF_INET;
  client.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  client.sin_port = htons(static_cast<uint16_t>(clientPort));
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(::sendto(stranger, "evil", 4, 0, reinterpret_cast<sockaddr*>(&client), sizeof client),
              4);
  }
  ::close(stranger);
  ASSERT_TRUE(server_.SendMedia("good"));
  ASSERT_TRUE(Host().WaitForStream(4, 5000));
  auto dropped = [handle] {
    return OnSession(handle, [](RtspSession& session) { return session.DroppedDatagrams(); });
  };
  EXPECT_TRUE(WaitFor([&] { return dropped() == 3; }, std::chrono::seconds(5))) << dropped();
  EXPECT_EQ(Host().Stream(), "good");
  EXPECT_EQ(QRLS_Stop(handle), 0);
}

}  // namespace
}  // namespace streamclient::test
