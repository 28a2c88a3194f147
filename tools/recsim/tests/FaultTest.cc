#include <gtest/gtest.h>

#include "RecsimHarness.h"

using namespace recsimtest;
using Clock = std::chrono::steady_clock;

namespace {

recsim::ServerOptions WithFaults(std::initializer_list<const char*> rules) {
  recsim::ServerOptions options;
  std::string error;
  for (const char* rule : rules) EXPECT_TRUE(options.faults.AddRule(rule, error)) << error;
  return options;
}

std::string Announce(const std::string& url, int cseq) {
  return "ANNOUNCE " + url + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq) +
         "\r\nAccept: application/sdp\r\nUser-agent: Qrlplayer\r\n\r\n";
}

TEST(FaultTest, AnswersWithTheStatusAskedFor) {
  ServerFixture server(WithFaults({"SETUP:status=454"}));
  RtspClient client(server.Port());
  const auto answer = client.Request(
      "SETUP " + server.Url("/rec01.mp4") +
      " RTSP/1.0\r\nCSeq: 1\r\nTransport: RTP/AVP/TCP;unicast;client_port=10000-10001\r\n\r\n");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->statusLine, "RTSP/1.0 454 Session Not Found");
  EXPECT_EQ(answer->body, "") << "refused: no header";
}

TEST(FaultTest, StopsAnsweringKeepAlivesAfterSome) {
  ServerFixture server(WithFaults({"ANNOUNCE:silent=2"}));
  RtspClient client(server.Port());
  const std::string url = server.Url("/cam1/av_stream");
  EXPECT_EQ(client.Request(Announce(url, 1))->status, 200);
  EXPECT_EQ(client.Request(Announce(url, 2))->status, 200);
  client.Send(Announce(url, 3));
  EXPECT_FALSE(client.Receive(500ms)) << "third keep-alive unanswered";
  // Other requests are still answered.
  EXPECT_EQ(client.Request("OPTIONS " + url + " RTSP/1.0\r\nCSeq: 4\r\n\r\n")->Header("CSeq"), "4");
}

TEST(FaultTest, DelaysAnswers) {
  ServerFixture server(WithFaults({"*:delay=300"}));
  RtspClient client(server.Port());
  const auto start = Clock::now();
  EXPECT_TRUE(
      client.Request("OPTIONS " + server.Url("/rec01.mp4") + " RTSP/1.0\r\nCSeq: 1\r\n\r\n"));
  EXPECT_GE(Clock::now() - start, 300ms);
}

TEST(FaultTest, SendsMalformedAndOversizedAnswers) {
  ServerFixture server(WithFaults({"OPTIONS:malformed", "ANNOUNCE:oversized"}));
  RtspClient client(server.Port());
  const auto malformed =
      client.Request("OPTIONS " + server.Url("/rec01.mp4") + " RTSP/1.0\r\nCSeq: 5\r\n\r\n");
  ASSERT_TRUE(malformed);
  EXPECT_EQ(malformed->statusLine, "RTSP/1.0 OK");
  EXPECT_NE(malformed->raw.find("\r\nthis line has no colon\r\n"), std::string::npos);
  const auto oversized = client.Request(Announce(server.Url("/rec01.mp4"), 6));
  ASSERT_TRUE(oversized);
  EXPECT_EQ(oversized->status, 200);
  EXPECT_GT(oversized->raw.size(), 4096u);
}

TEST(FaultTest, ClosesTheMediaConnectionAfterTheBytesAskedFor) {
  recsim::ServerOptions options;
  options.fast = true;
  options.faults.closeMediaAfter = 10000;
  ServerFixture server(options);
  RtspClient client(server.Port());
  const auto setup = server.SetupAndPlay(client, "/rec01.mp4", true, 10000);
  ASSERT_TRUE(setup);
  const auto media = ReceiveTcpMedia(ServerPortOf(*setup), server.Media().size(), 3s);
  EXPECT_EQ(media.size(), 10000u) << "cut mid-stream, then closed";
  EXPECT_TRUE(std::equal(media.begin(), media.end(), server.Media().begin()));
  // The control connection stays.
  EXPECT_EQ(client.Request(Announce(server.Url("/rec01.mp4"), 3))->status, 200);
}

TEST(FaultTest, ClosesTheControlConnectionMidStream) {
  recsim::ServerOptions options;
  options.faults.closeControlAfter = 20000;
  ServerFixture server(options);
  RtspClient client(server.Port());
  const auto setup = server.SetupAndPlay(client, "/rec01.mp4", true, 10000);
  ASSERT_TRUE(setup);
  const auto media = ReceiveTcpMedia(ServerPortOf(*setup), server.Media().size(), 3s);
  EXPECT_TRUE(client.ClosedWithin(3s));
  EXPECT_GE(media.size(), 20000u);
  EXPECT_LT(media.size(), server.Media().size()) << "the session ended with its control connection";
}

TEST(FaultTest, LateAnswersAreOvertakenByLaterOnes) {
  ServerFixture server(WithFaults({"ANNOUNCE:late=400"}));
  RtspClient client(server.Port());
  const std::string url = server.Url("/rec01.mp4");
  const auto start = Clock::now();
  client.Send(Announce(url, 1));
  const auto options = client.Request("OPTIONS " + url + " RTSP/1.0\r\nCSeq: 2\r\n\r\n");
  ASSERT_TRUE(options);
  EXPECT_EQ(options->Header("CSeq"), "2") << "answered before the keep-alive";
  const auto late = client.Receive(5s);
  ASSERT_TRUE(late);
  EXPECT_EQ(late->Header("CSeq"), "1");
  EXPECT_EQ(late->status, 200);
  EXPECT_GE(Clock::now() - start, 400ms);
}

TEST(FaultTest, StaleAnswerComesFirst) {
  ServerFixture server(WithFaults({"OPTIONS:stale"}));
  RtspClient client(server.Port());
  const auto stale =
      client.Request("OPTIONS " + server.Url("/rec01.mp4") + " RTSP/1.0\r\nCSeq: 7\r\n\r\n");
  ASSERT_TRUE(stale);
  EXPECT_EQ(stale->Header("CSeq"), "6");
  EXPECT_EQ(stale->status, 455);
  const auto real = client.Receive();
  ASSERT_TRUE(real);
  EXPECT_EQ(real->Header("CSeq"), "7");
  EXPECT_EQ(real->status, 200);
}

TEST(FaultTest, RedirectsSetupHopByHop) {
  ServerFixture server(WithFaults({"SETUP:redirect=2"}));
  std::string url = server.Url("/rec01.mp4");
  std::vector<std::string> locations;
  for (int hop = 1; hop <= 2; ++hop) {
    RtspClient client(server.Port());
    const auto answer = client.Request("SETUP " + url +
                                       " RTSP/1.0\r\nCSeq: 1\r\nTransport: RTP/AVP/TCP;unicast;"
                                       "client_port=10000-10001\r\n\r\n");
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->status, 302);
    url = answer->Header("Location");
    locations.push_back(url);
  }
  EXPECT_EQ(locations, (std::vector<std::string>{server.Url("/.redirect-1/rec01.mp4"),
                                                 server.Url("/.redirect-2/rec01.mp4")}));
  RtspClient client(server.Port());
  ASSERT_TRUE(server.Setup(client, "/.redirect-2/rec01.mp4", true, 10000));
}

}  // namespace
