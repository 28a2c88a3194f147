// The control connection against a scripted peer on a socket pair: the answers' effects on
// the connection's own state (session id, scale steps, keep-alive misses).
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "LoopbackRtspServer.h"
#include "RtspConnection.h"

namespace streamclient::test {
namespace {

struct FakeEvents final : RtspConnectionEvents {
  bool OnSetupAnswered(const SetupAnswer& answer) override {
    setups.push_back(answer.totalTime);
    serverPort = answer.serverPort;
    header = std::string(answer.header);
    return true;
  }
  void OnOpenFailed() override { ++openFailures; }
  void OnKeepAliveLost() override { ++keepAliveLost; }
  VidoraPlayer* Player() override { return nullptr; }

  std::vector<int> setups;
  int serverPort = -1;
  std::string header;
  int openFailures = 0;
  int keepAliveLost = 0;
};

// Answers each request with the next scripted text ("" = stay silent).
class ScriptedPeer {
 public:
  explicit ScriptedPeer(std::vector<std::string> answers) : answers_(std::move(answers)) {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    client_ = UniqueFd(fds[0]);
    peer_ = fds[1];
    thread_ = std::thread([this] { Run(); });
  }
  ~ScriptedPeer() {
    ::shutdown(peer_, SHUT_RDWR);
    thread_.join();
    ::close(peer_);
  }
  UniqueFd TakeClient() { return std::move(client_); }

 private:
  void Run() {
    std::string pending;
    char buffer[2048];
    size_t next = 0;
    for (;;) {
      const ssize_t n = ::recv(peer_, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      pending.append(buffer, static_cast<size_t>(n));
      for (size_t end = pending.find("\r\n\r\n"); end != std::string::npos;
           end = pending.find("\r\n\r\n")) {
        pending.erase(0, end + 4);
        const std::string& answer = next < answers_.size() ? answers_[next] : answers_.back();
        ++next;
        if (!answer.empty()) ::send(peer_, answer.data(), answer.size(), MSG_NOSIGNAL);
      }
    }
  }

  std::vector<std::string> answers_;
  UniqueFd client_;
  int peer_ = -1;
  std::thread thread_;
};

RtspTimings Quick() {
  RtspTimings timings;
  timings.sendWaitMs = 200;
  timings.receiveWaitMs = 50;
  return timings;
}

std::string SetupOk(bool timestamp) {
  return LoopbackRtspServer::Answer(
      200, "OK", 1,
      "Session: 4711;timeout=60\r\nTransport: RTP/AVP/TCP;unicast;client_port=10000-10001;"
      "server_port=8000-8001\r\nfilesize: 99\r\n" +
          std::string(timestamp ? "timestamp: 1280\r\n" : ""),
      std::string(40, 'h'));
}

std::string ScaleOk(int scale) {
  return LoopbackRtspServer::Answer(200, "OK", 2, "Scale: " + std::to_string(scale) + "\r\n");
}

TEST(RtspConnection, SetupAnswerFields) {
  ScriptedPeer peer({SetupOk(true)});
  FakeEvents events;
  RtspConnection connection(peer.TakeClient(), events, "rtsp://127.0.0.1/x", Quick());
  ASSERT_EQ(connection.Setup(MediaTransport::kTcp, 10000), 0);
  EXPECT_EQ(connection.SessionId(), "4711;timeout=60");
  EXPECT_EQ(events.setups, std::vector<int>{1280});
  EXPECT_EQ(events.serverPort, 8000);
  EXPECT_EQ(events.header, std::string(40, 'h'));
}

TEST(RtspConnection, ScaleStepsStayInsideTheTable) {
  std::vector<std::string> answers = {SetupOk(true)};
  for (int i = 0; i < 5; ++i) answers.push_back(ScaleOk(16));
  for (int i = 0; i < 9; ++i) answers.push_back(ScaleOk(-16));
  ScriptedPeer peer(answers);
  FakeEvents events;
  RtspConnection connection(peer.TakeClient(), events, "rtsp://127.0.0.1/x", Quick());
  ASSERT_EQ(connection.Setup(MediaTransport::kUdp, 10000), 0);
  std::vector<int> seen;
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(connection.Scale(16), 0);
    seen.push_back(connection.ScaleValue());
  }
  EXPECT_EQ(seen, (std::vector<int>{2, 4, 8, 8, 8}));
  for (int i = 0; i < 9; ++i) ASSERT_EQ(connection.Scale(-16), 0);
  EXPECT_EQ(connection.ScaleValue(), -8);
}

TEST(RtspConnection, LiveStreamIgnoresScaleAnswers) {
  ScriptedPeer peer({SetupOk(false), ScaleOk(8)});
  FakeEvents events;
  RtspConnection connection(peer.TakeClient(), events, "rtsp://127.0.0.1/av_stream", Quick());
  ASSERT_EQ(connection.Setup(MediaTransport::kTcp, 10000), 0);
  EXPECT_EQ(events.setups, std::vector<int>{-1});
  ASSERT_EQ(connection.Scale(8), 0);
  EXPECT_EQ(connection.ScaleValue(), 0);
}

TEST(RtspConnection, KeepAliveMissesAndRecovery) {
  const std::string refused = LoopbackRtspServer::Answer(404, "Not Found", 1);
  const std::string ok = LoopbackRtspServer::Answer(200, "OK", 1);
  // Four misses and a 200 that clears them, then six misses: one report, at the sixth.
  ScriptedPeer peer({refused, refused, "", "", ok, refused, refused, refused, refused, refused,
                     refused});
  FakeEvents events;
  RtspConnection connection(peer.TakeClient(), events, "rtsp://127.0.0.1/x", Quick());
  std::vector<int> results;
  for (int i = 0; i < 5; ++i) results.push_back(connection.KeepAlive());
  EXPECT_EQ(results, (std::vector<int>{-1, -1, -1, -1, 0}));
  EXPECT_EQ(events.keepAliveLost, 0);
  for (int i = 0; i < 5; ++i) connection.KeepAlive();
  EXPECT_EQ(events.keepAliveLost, 0);
  connection.KeepAlive();
  EXPECT_EQ(events.keepAliveLost, 1);
  EXPECT_EQ(events.openFailures, 0);  // only SETUP failures are open failures
}

TEST(RtspConnection, SplitAnswerIsReassembled) {
  // The first packet ends inside the header block; the answer is only complete with the
  // second, and its body must not be lost.
  const std::string answer = SetupOk(true);
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  std::thread peer([fd = fds[1], answer] {
    char buffer[1024];
    ::recv(fd, buffer, sizeof buffer, 0);
    ::send(fd, answer.data(), 30, MSG_NOSIGNAL);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::send(fd, answer.data() + 30, answer.size() - 30, MSG_NOSIGNAL);
  });
  FakeEvents events;
  RtspConnection connection(UniqueFd(fds[0]), events, "rtsp://127.0.0.1/x", Quick());
  EXPECT_EQ(connection.Setup(MediaTransport::kTcp, 10000), 0);
  EXPECT_EQ(events.header, std::string(40, 'h'));
  peer.join();
  ::close(fds[1]);
}

TEST(RtspConnection, OverlongRequestIsNotSent) {
  ScriptedPeer peer({SetupOk(true)});
  FakeEvents events;
  RtspConnection connection(peer.TakeClient(), events, "rtsp://127.0.0.1/" + std::string(1100, 'u'),
                            Quick());
  EXPECT_EQ(connection.Setup(MediaTransport::kTcp, 10000), -1);
  EXPECT_TRUE(events.setups.empty());
}

}  // namespace
}  // namespace streamclient::test
