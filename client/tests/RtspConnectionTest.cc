// The control connection against a scripted peer on a socket pair: the answers' effects on
// the connection's own state (session id, scale steps, keep-alive misses), and which answer
// belongs to which request.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
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

// Answers each request with the next scripted text ("" = stay silent). In a text, "{cseq}"
// becomes the request's CSeq and "{cseq-1}" the one before it.
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
        const size_t cseqAt = pending.find("CSeq: ");
        const int cseq = cseqAt < end ? std::atoi(pending.c_str() + cseqAt + 6) : 0;
        pending.erase(0, end + 4);
        std::string answer = next < answers_.size() ? answers_[next] : answers_.back();
        ++next;
        Put(answer, "{cseq}", cseq);
        Put(answer, "{cseq-1}", cseq - 1);
        if (!answer.empty()) ::send(peer_, answer.data(), answer.size(), MSG_NOSIGNAL);
      }
    }
  }

  static void Put(std::string& text, const std::string& key, int value) {
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at))
      text.replace(at, key.size(), std::to_string(value));
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

// An answer that carries the CSeq of the request it answers.
std::string Reply(int code, const char* reason, const std::string& headers = "",
                  const std::string& body = "") {
  std::string text = LoopbackRtspServer::Answer(code, reason, 0, headers, body);
  return text.replace(text.find("CSeq: 0"), 7, "CSeq: {cseq}");
}

std::string SetupOk(bool timestamp) {
  return Reply(
      200, "OK",
      "Session: 4711;timeout=60\r\nTransport: RTP/AVP/TCP;unicast;client_port=10000-10001;"
      "server_port=8000-8001\r\nfilesize: 99\r\n" +
          std::string(timestamp ? "timestamp: 1280\r\n" : ""),
      std::string(40, 'h'));
}

std::string ScaleOk(int scale) {
  return Reply(200, "OK", "Scale: " + std::to_string(scale) + "\r\n");
}

// What the keep-alive thread does: send, then read what arrives until the answer came or the
// receive wait ran out.
void KeepAliveRound(RtspConnection& connection, const RtspTimings& timings) {
  if (connection.SendKeepAlive() != 0) return;
  const auto end =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timings.receiveWaitMs);
  while (connection.KeepAliveOutstanding() && std::chrono::steady_clock::now() < end) {
    pollfd entry{connection.Socket(), POLLIN, 0};
    if (::poll(&entry, 1, 5) > 0) connection.ReadAvailable();
  }
  connection.KeepAliveUnanswered();
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
  const std::string refused = Reply(404, "Not Found");
  const std::string ok = Reply(200, "OK");
  // Four misses and a 200 that clears them, then six misses: one report, at the sixth.
  ScriptedPeer peer({refused, refused, "", "", ok, refused, refused, refused, refused, refused,
                     refused});
  FakeEvents events;
  RtspConnection connection(peer.TakeClient(), events, "rtsp://127.0.0.1/x", Quick());
  std::vector<unsigned> misses;
  for (int i = 0; i < 5; ++i) {
    KeepAliveRound(connection, Quick());
    misses.push_back(connection.KeepAliveMisses());
  }
  EXPECT_EQ(misses, (std::vector<unsigned>{1, 2, 3, 4, 0}));
  EXPECT_EQ(events.keepAliveLost, 0);
  for (int i = 0; i < 5; ++i) KeepAliveRound(connection, Quick());
  EXPECT_EQ(events.keepAliveLost, 0);
  KeepAliveRound(connection, Quick());
  EXPECT_EQ(events.keepAliveLost, 1);
  EXPECT_EQ(events.openFailures, 0);  // only SETUP failures are open failures
}

// A late answer to an earlier request must not be taken for the answer of the next one.
TEST(RtspConnection, StaleAnswersAreDropped) {
  const std::string late = "RTSP/1.0 455 Method Not Valid In This State\r\nCSeq: {cseq-1}\r\n\r\n";
  ScriptedPeer peer({SetupOk(true), "", late + Reply(200, "OK")});
  FakeEvents events;
  RtspConnection connection(peer.TakeClient(), events, "rtsp://127.0.0.1/x", Quick());
  ASSERT_EQ(connection.Setup(MediaTransport::kTcp, 10000), 0);
  EXPECT_EQ(connection.Play(), -1);  // unanswered in time; its answer comes with the next
  EXPECT_EQ(connection.Pause(), 0);
  EXPECT_EQ(connection.StaleAnswers(), 1u);
}

// A keep-alive waits for its answer without holding up other requests; an exchange that meets
// the keep-alive's answer handles it, whatever the order.
TEST(RtspConnection, KeepAliveAnswerMayFollowALaterOne) {
  const std::string keepAliveOk = "RTSP/1.0 200 OK\r\nCSeq: {cseq-1}\r\n\r\n";
  ScriptedPeer peer({SetupOk(true), "", Reply(200, "OK") + keepAliveOk});
  FakeEvents events;
  RtspConnection connection(peer.TakeClient(), events, "rtsp://127.0.0.1/x", Quick());
  ASSERT_EQ(connection.Setup(MediaTransport::kTcp, 10000), 0);
  ASSERT_EQ(connection.SendKeepAlive(), 0);
  EXPECT_TRUE(connection.KeepAliveOutstanding());
  EXPECT_EQ(connection.KeepAliveMisses(), 1u);
  EXPECT_EQ(connection.Pause(), 0);
  EXPECT_FALSE(connection.KeepAliveOutstanding());
  EXPECT_EQ(connection.KeepAliveMisses(), 0u);
  EXPECT_EQ(connection.StaleAnswers(), 0u);
}

// An answer far too long for the receive buffer fails its request; the next answer is read
// cleanly after it.
TEST(RtspConnection, OverlongAnswerDoesNotPoisonTheNext) {
  ScriptedPeer peer({SetupOk(true),
                     Reply(200, "OK", "X-Padding: " + std::string(3000, 'x') + "\r\n"),
                     Reply(200, "OK")});
  FakeEvents events;
  RtspConnection connection(peer.TakeClient(), events, "rtsp://127.0.0.1/x", Quick());
  ASSERT_EQ(connection.Setup(MediaTransport::kTcp, 10000), 0);
  EXPECT_EQ(connection.Play(), -1);
  EXPECT_EQ(connection.Pause(), 0);
}

TEST(RtspConnection, SetupAnswersWithoutAStreamFail) {
  struct Case {
    std::string answer;
    int result;
    std::string location;
  };
  const std::vector<Case> cases = {
      {Reply(302, "Moved Temporarily", "Location: rtsp://10.0.0.1:8554/b\r\n"), 0,
       "rtsp://10.0.0.1:8554/b"},
      {Reply(301, "Moved Permanently", "Location: rtsp://10.0.0.1/c\r\n"), 0, "rtsp://10.0.0.1/c"},
      {Reply(302, "Moved Temporarily"), -1, ""},  // nowhere to go
      {Reply(250, "Low On Storage Space"), -1, ""},
      {Reply(299, "Whatever"), -1, ""},
  };
  for (const Case& c : cases) {
    ScriptedPeer peer({c.answer});
    FakeEvents events;
    RtspConnection connection(peer.TakeClient(), events, "rtsp://127.0.0.1/x", Quick());
    EXPECT_EQ(connection.Setup(MediaTransport::kTcp, 10000), c.result) << c.answer;
    EXPECT_EQ(connection.RedirectLocation(), c.location);
    EXPECT_EQ(events.openFailures, c.result == 0 ? 0 : 1) << c.answer;
    EXPECT_TRUE(events.setups.empty());
  }
}

TEST(RtspConnection, SplitAnswerIsReassembled) {
  // The first packet ends inside the header block; the answer is only complete with the
  // second, and its body must not be lost.
  std::string answer = SetupOk(true);
  answer.replace(answer.find("{cseq}"), 6, "1");
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
