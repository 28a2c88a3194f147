#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <random>

#include "RecsimHarness.h"

using namespace recsimtest;

namespace {

std::string Req(const std::string& method, const std::string& url, int cseq,
                const std::string& extra = "") {
  return method + " " + url + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq) + "\r\n" + extra +
         "User-agent: Qrlplayer\r\n\r\n";
}

TEST(ServerTest, SetupOfARecordingAnswersInTheDialect) {
  ServerFixture server;
  for (bool tcp : {true, false}) {
    RtspClient client(server.Port());
    const auto answer = server.Setup(client, "/rec01.mp4", tcp, 10000, 1);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->statusLine, "RTSP/1.0 200 OK");
    EXPECT_EQ(answer->Header("CSeq"), "1");
    EXPECT_NE(answer->Header("Session").find(";timeout=60"), std::string::npos);
    const std::string profile = tcp ? "RTP/AVP/TCP" : "RTP/AVP/UDP";
    EXPECT_EQ(answer->Header("Transport").rfind(profile + ";unicast;client_port=10000-10001;"
                                                "server_port=", 0), 0u)
        << answer->Header("Transport");
    EXPECT_NE(ServerPortOf(*answer), 0);
    EXPECT_EQ(answer->Header("timestamp"), "64") << "25 frames at 25 fps: one second";
    EXPECT_EQ(answer->Header("filesize"), std::to_string(server.Media().size() + 40));
    const std::vector<uint8_t> header = RecordingHeader();
    EXPECT_EQ(answer->body, std::string(header.begin(), header.end()));
    EXPECT_LT(answer->raw.size(), 1024u) << "fits a client's receive buffer";
  }
}

TEST(ServerTest, LiveChannelsHaveNoLengthAndTakeCameraCommands) {
  ServerFixture server;
  const std::string live = server.Url("/cam1/av_stream");
  RtspClient client(server.Port());
  const auto setup = server.Setup(client, "/cam1/av_stream", true, 10002);
  ASSERT_TRUE(setup);
  EXPECT_EQ(setup->headers.count("timestamp"), 0u);
  EXPECT_EQ(setup->headers.count("filesize"), 0u);
  EXPECT_EQ(setup->body.size(), 40u);

  auto get = client.Request(Req("OPTIONS", live, 2));
  ASSERT_TRUE(get);
  EXPECT_EQ(get->Header("bri") + get->Header("con") + get->Header("sat") + get->Header("hue"),
            "128128128128");
  auto set =
      client.Request(Req("OPTIONS", live, 3, "bri: 10\r\ncon: 20\r\nsat: 30\r\nhue: 255\r\n"));
  ASSERT_TRUE(set);
  EXPECT_EQ(set->status, 200);
  get = client.Request(Req("OPTIONS", live, 4));
  EXPECT_EQ(get->Header("bri") + "," + get->Header("hue"), "10,255");
  set = client.Request(Req("OPTIONS", live, 5, "bri: 256\r\ncon: 20\r\nsat: 30\r\nhue: 0\r\n"));
  EXPECT_EQ(set->status, 451);
  set = client.Request(Req("OPTIONS", live, 6, "bri: 1\r\n"));
  EXPECT_EQ(set->status, 451) << "all four values belong together";

  const auto ptz = client.Request(Req("OPTIONS", live, 7,
      "command: 21\r\nparam1: 1\r\nparam2: 2\r\nparam3: 3\r\nparam4: 4294967295\r\n"));
  ASSERT_TRUE(ptz);
  EXPECT_EQ(ptz->status, 200);
  const auto commands = server.Get().GetCatalog().PtzCommands();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].command, 21u);
  EXPECT_EQ(commands[0].params[3], 4294967295u);

  // A recording is no camera.
  const std::string recording = server.Url("/rec01.mp4");
  EXPECT_EQ(client.Request(Req("OPTIONS", recording, 8))->headers.count("bri"), 0u);
  EXPECT_EQ(client
                .Request(Req("OPTIONS", recording, 9,
                             "command: 1\r\nparam1: 0\r\nparam2: 0\r\n"
                             "param3: 0\r\nparam4: 0\r\n"))
                ->status,
            455);
}

TEST(ServerTest, EveryRequestKindGetsItsAnswer) {
  ServerFixture server;
  const std::string url = server.Url("/rec01.mp4");
  RtspClient client(server.Port());
  EXPECT_EQ(client.Request(Req("PLAY", url, 1, "Range: npt=0.0-\r\n"))->status, 455)
      << "nothing to play before SETUP";
  EXPECT_EQ(client.Request(Req("TEARDOWN", url, 2))->status, 454);
  ASSERT_TRUE(server.Setup(client, "/rec01.mp4", true, 10000, 3));
  EXPECT_EQ(
      client.Request(Req("SETUP", url, 4, "Transport: RTP/AVP/TCP;unicast;client_port=1-2\r\n"))
          ->status,
      455)
      << "one SETUP per session";
  const std::string session = "Session:1234;timeout=60\r\n";
  auto play = client.Request(Req("PLAY", url, 5, session + "Range: npt=0.0-\r\n"));
  EXPECT_EQ(play->status, 200);
  EXPECT_EQ(play->Header("CSeq"), "5");
  EXPECT_EQ(client.Request(Req("PAUSE", url, 6))->status, 200);
  EXPECT_EQ(client.Request(Req("PLAY", url, 7))->status, 200) << "resume";
  auto scale = client.Request(Req("PLAY", url, 8, session + "Scale:4\r\nRange: npt=0.0-\r\n"));
  EXPECT_EQ(scale->Header("Scale"), "4");
  EXPECT_EQ(client.Request(Req("PLAY", url, 9, "Range: npt=65.0-\r\n"))->status, 457)
      << "past the end of a one-second file";
  EXPECT_EQ(client
                .Request("ANNOUNCE " + url +
                         " RTSP/1.0\r\nCSeq: 10\r\n"
                         "Accept: application/sdp\r\nUser-agent: Qrlplayer\r\n\r\n")
                ->status,
            200);
  EXPECT_EQ(client.Request(Req("DESCRIBE", url, 11))->status, 501);
  EXPECT_EQ(client.Request("OPTIONS * RTSP/2.0\r\nCSeq: 12\r\n\r\n")->status, 505);
  EXPECT_EQ(client.Request(Req("TEARDOWN", url, 13))->status, 200);
  EXPECT_EQ(client.Request(Req("PAUSE", url, 14))->status, 455);
}

TEST(ServerTest, RefusesUnknownPathsTraversalAndBadTransports) {
  ServerFixture server;
  RtspClient client(server.Port());
  const auto setup = [&](const std::string& url, const std::string& transport) {
    return client.Request("SETUP " + url + " RTSP/1.0\r\nCSeq: 1\r\nTransport: " + transport +
                          "\r\n\r\n")->status;
  };
  const std::string udp = "RTP/AVP/UDP;unicast;client_port=10000-10001";
  EXPECT_EQ(setup(server.Url("/missing.mp4"), udp), 404);
  EXPECT_EQ(setup(server.Url("/../" + server.Root().filename().string() + "/rec01.mp4"), udp), 404);
  EXPECT_EQ(setup(server.Url("/nowhere/av_stream"), udp), 404);
  EXPECT_EQ(setup(server.Url("/rec01.mp4"), "RTP/AVP/SCTP;client_port=1-2"), 461);
  EXPECT_EQ(setup(server.Url("/rec01.mp4"), "RTP/AVP/UDP;unicast;client_port=0-1"), 461);
  EXPECT_EQ(setup(server.Url("/rec01.mp4"), "RTP/AVP/UDP;unicast"), 461);
}

TEST(ServerTest, MalformedRequestsGetAnErrorAndTheSessionGoesOn) {
  ServerFixture server;
  RtspClient client(server.Port());
  auto answer = client.Request("SETUP rtsp://127.0.0.1/rec01.mp4\r\nCSeq: 9\r\n\r\n");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 400);
  EXPECT_EQ(answer->Header("CSeq"), "9");
  EXPECT_EQ(client.Request("PLAY x RTSP/1.0\r\nno colon\r\n\r\n")->status, 400);
  EXPECT_EQ(client.Request("OPTIONS x RTSP/1.0\r\n\r\n")->status, 400) << "no CSeq";
  EXPECT_EQ(client.Request("OPTIONS " + server.Url("/rec01.mp4") + " RTSP/1.0\r\nCSeq: 3\r\n\r\n")
                ->status, 200);

  // A header block without end: one answer, then the server hangs up.
  RtspClient flood(server.Port());
  flood.Send("OPTIONS x RTSP/1.0\r\n" + std::string(10000, 'a'));
  EXPECT_EQ(flood.Receive()->status, 400);
  EXPECT_TRUE(flood.ClosedWithin(2s));

  // Noise on many connections, then the server still serves.
  std::mt19937 random(11);
  for (int i = 0; i < 20; ++i) {
    RtspClient noisy(server.Port());
    std::string bytes(1 + random() % 3000, '\0');
    for (char& c : bytes) c = static_cast<char>(random() % 256);
    if (i % 2) bytes += "\r\n\r\n";
    noisy.Send(bytes);
  }
  RtspClient after(server.Port());
  EXPECT_EQ(after.Request("OPTIONS " + server.Url("/rec01.mp4") + " RTSP/1.0\r\nCSeq: 1\r\n\r\n")
                ->status, 200);
}

TEST(ServerTest, IdleSessionsTimeOut) {
  recsim::ServerOptions options;
  options.sessionTimeout = std::chrono::seconds(1);
  ServerFixture server(options);
  RtspClient client(server.Port());
  const auto setup = server.Setup(client, "/rec01.mp4", true, 10000);
  EXPECT_NE(setup->Header("Session").find(";timeout=1"), std::string::npos);
  EXPECT_TRUE(client.ClosedWithin(3s));
}

TEST(ProgramTest, PrintsItsPortServesAndEndsOnSigterm) {
  const auto root =
      std::filesystem::temp_directory_path() / ("recsimprog" + std::to_string(getpid()));
  std::filesystem::create_directories(root);
  WriteRecording(root / "a.mp4", {});
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    execl(RECSIM_BINARY, "recsim", "--port", "0", "--root", root.c_str(), "--fast", nullptr);
    _exit(127);
  }
  close(out[1]);
  FILE* output = fdopen(out[0], "r");
  unsigned port = 0;
  ASSERT_EQ(fscanf(output, "recsim listening on port %u", &port), 1);
  RtspClient client(static_cast<uint16_t>(port));
  auto answer = client.Request("OPTIONS rtsp://127.0.0.1/a.mp4 RTSP/1.0\r\nCSeq: 1\r\n\r\n");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  fclose(output);
  std::filesystem::remove_all(root);

  const pid_t bad = fork();
  if (bad == 0) {
    execl(RECSIM_BINARY, "recsim", "--port", "70000", nullptr);
    _exit(127);
  }
  waitpid(bad, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
}

}  // namespace
