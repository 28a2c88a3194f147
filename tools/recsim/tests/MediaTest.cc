#include <gtest/gtest.h>
#include <sys/socket.h>

#include <functional>
#include <thread>

#include "MediaSender.h"
#include "RecsimHarness.h"

using namespace recsimtest;
using Clock = std::chrono::steady_clock;

namespace {

std::string Play(const std::string& url, int cseq, const std::string& extra = "") {
  return "PLAY " + url + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq) +
         "\r\nSession:1\r\n" + extra + "User-agent: Qrlplayer\r\n\r\n";
}

// Reads datagrams until `count` bytes arrived or `timeout` passed; records the largest.
std::vector<uint8_t> ReceiveDatagrams(int fd, size_t count, std::chrono::milliseconds timeout,
                                      size_t& largest) {
  std::vector<uint8_t> received;
  largest = 0;
  const auto end = Clock::now() + timeout;
  while (received.size() < count && Clock::now() < end) {
    if (!recsim::WaitReadable(fd, 20ms)) continue;
    uint8_t datagram[65536];
    const ssize_t n = ::recv(fd, datagram, sizeof datagram, 0);
    if (n <= 0) continue;
    largest = std::max(largest, static_cast<size_t>(n));
    received.insert(received.end(), datagram, datagram + n);
  }
  return received;
}

TEST(MediaTest, TcpMediaArrivesCompleteAndInRealTime) {
  ServerFixture server;
  RtspClient client(server.Port());
  const auto start = Clock::now();
  const auto setup = server.SetupAndPlay(client, "/rec01.mp4", true, 10000);
  ASSERT_TRUE(setup);
  const auto media = ReceiveTcpMedia(ServerPortOf(*setup), server.Media().size(), 20s);
  const auto elapsed = Clock::now() - start;
  EXPECT_EQ(media, server.Media());
  // 25 frames at 25 fps: the last one is due 24 frame times after the first.
  EXPECT_GE(elapsed, 900ms);
}

TEST(MediaTest, UdpMediaArrivesCompleteInDatagramsAClientReadsWhole) {
  recsim::ServerOptions options;
  options.fast = true;
  ServerFixture server(options);
  // Two frames a second: twelve seconds of stream when paced, so a server that paces cannot
  // pass for one that does not, however slow the machine.
  const auto slow = WriteRecording(server.Root() / "slow.mp4", {.frames = 25, .fps = 2});
  uint16_t port = 0;
  const recsim::UniqueFd receiver = UdpReceiver(port);
  RtspClient client(server.Port());
  ASSERT_TRUE(server.Setup(client, "/slow.mp4", false, port));
  const auto start = Clock::now();
  ASSERT_EQ(client.Request(Play(server.Url("/slow.mp4"), 2, "Range: npt=0.0-\r\n"))->status, 200);
  size_t largest = 0;
  const auto media = ReceiveDatagrams(receiver.Get(), slow.size(), 20s, largest);
  EXPECT_EQ(media, slow);
  EXPECT_LE(largest, recsim::kMaxDatagram);
  EXPECT_GT(largest, 5000u) << "large groups are cut into several datagrams";
  EXPECT_LT(Clock::now() - start, 6s) << "--fast does not pace";
}

TEST(MediaTest, PlayWithARangeSeeksToTheKeyGroupBefore) {
  ServerFixture server;
  const std::string url = server.Url("/rec01.mp4");
  RtspClient client(server.Port());
  const auto setup = server.Setup(client, "/rec01.mp4", true, 10000);
  ASSERT_TRUE(setup);
  // npt counts 1/64 s: 40/64 s is frame 15, a key group (one in five).
  ASSERT_EQ(client.Request(Play(url, 2, "Range: npt=40.0-\r\n"))->status, 200);
  const auto file = recsim::RecordingFile::Open((server.Root() / "rec01.mp4").string());
  const size_t from = file->Pieces()[15].offset - 40;
  const auto tail = ReceiveTcpMedia(ServerPortOf(*setup), server.Media().size() - from, 20s);
  EXPECT_EQ(tail.size(), server.Media().size() - from);
  EXPECT_TRUE(
      std::equal(tail.begin(), tail.end(), server.Media().begin() + static_cast<ptrdiff_t>(from)));
}

// Reads a TCP media connection, waiting on what arrives rather than for fixed times.
struct Reader {
  recsim::UniqueFd fd;
  size_t total = 0;
  // Reads until `enough` says so, or the limit passed; false then.
  bool ReadUntil(const std::function<bool()>& enough, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!enough()) {
      if (Clock::now() > end || !ReadSome(end - Clock::now())) return false;
    }
    return true;
  }
  // Reads until nothing came for `quiet`; false when the flow did not stop within the limit.
  bool ReadUntilQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
      if (!ReadSome(quiet)) return true;
    }
    return false;
  }
  bool ReadSome(Clock::duration wait) {
    if (!recsim::WaitReadable(fd.Get(),
                              std::chrono::duration_cast<std::chrono::milliseconds>(wait)))
      return false;
    char chunk[8192];
    const ssize_t n = ::recv(fd.Get(), chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    total += static_cast<size_t>(n);
    return true;
  }
};

TEST(MediaTest, PauseStopsAndScaleQuickensTheFlow) {
  ServerFixture server;
  // Two frames a second: a piece every half second at the normal pace, twelve seconds in all.
  const auto slow = WriteRecording(server.Root() / "slow.mp4", {.frames = 25, .fps = 2});
  const std::string url = server.Url("/slow.mp4");
  RtspClient client(server.Port());
  const auto setup = server.SetupAndPlay(client, "/slow.mp4", true, 10000);
  ASSERT_TRUE(setup);
  Reader reader{ConnectTcp(ServerPortOf(*setup))};
  ASSERT_TRUE(reader.fd.Valid());
  ASSERT_TRUE(reader.ReadUntil([&] { return reader.total > 0; }, 10s));
  ASSERT_EQ(client.Request(Play(url, 3).replace(0, 4, "PAUSE"))->status, 200);
  // At most the piece under way still comes; a flowing stream is never quiet for a second.
  ASSERT_TRUE(reader.ReadUntilQuiet(1s, 10s)) << "still flowing after the pause";
  const size_t paused = reader.total;
  EXPECT_FALSE(reader.ReadSome(1s)) << "paused";
  EXPECT_EQ(reader.total, paused);
  ASSERT_LT(paused, slow.size());
  const auto resumed = Clock::now();
  ASSERT_EQ(client.Request(Play(url, 4, "Scale:8\r\nRange: npt=0.0-\r\n"))->status, 200);
  EXPECT_TRUE(reader.ReadUntil([&] { return reader.total == slow.size(); }, 20s));
  // At eight times the pace the remaining eleven or so seconds of stream take under two.
  EXPECT_LT(Clock::now() - resumed, 6s);
}

TEST(MediaTest, LiveChannelsLoopForever) {
  recsim::ServerOptions options;
  options.fast = true;
  ServerFixture server(options);
  RtspClient client(server.Port());
  const auto setup = server.Setup(client, "/cam1/av_stream", true, 10000);
  ASSERT_TRUE(setup);
  // A range on a live channel is ignored: it always starts at the loop's beginning.
  ASSERT_EQ(client.Request(Play(server.Url("/cam1/av_stream"), 2, "Range: npt=40.0-\r\n"))->status,
            200);
  const auto media = ReceiveTcpMedia(ServerPortOf(*setup), 3 * server.Media().size(), 20s);
  ASSERT_EQ(media.size(), 3 * server.Media().size());
  for (int round = 0; round < 3; ++round)
    EXPECT_TRUE(std::equal(server.Media().begin(), server.Media().end(),
                           media.begin() + static_cast<ptrdiff_t>(round * server.Media().size())));
}

}  // namespace
