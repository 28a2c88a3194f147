#include <gtest/gtest.h>
#include <sys/socket.h>

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
  const auto media = ReceiveTcpMedia(ServerPortOf(*setup), server.Media().size(), 4s);
  const auto elapsed = Clock::now() - start;
  EXPECT_EQ(media, server.Media());
  // 25 frames at 25 fps: the last one is due 24 frame times after the first.
  EXPECT_GE(elapsed, 900ms);
}

TEST(MediaTest, UdpMediaArrivesCompleteInDatagramsAClientReadsWhole) {
  recsim::ServerOptions options;
  options.fast = true;
  ServerFixture server(options);
  uint16_t port = 0;
  const recsim::UniqueFd receiver = UdpReceiver(port);
  RtspClient client(server.Port());
  ASSERT_TRUE(server.Setup(client, "/rec01.mp4", false, port));
  const auto start = Clock::now();
  ASSERT_EQ(client.Request(Play(server.Url("/rec01.mp4"), 2, "Range: npt=0.0-\r\n"))->status, 200);
  size_t largest = 0;
  const auto media = ReceiveDatagrams(receiver.Get(), server.Media().size(), 4s, largest);
  EXPECT_EQ(media, server.Media());
  EXPECT_LE(largest, recsim::kMaxDatagram);
  EXPECT_GT(largest, 5000u) << "large groups are cut into several datagrams";
  EXPECT_LT(Clock::now() - start, 800ms) << "--fast does not pace";
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
  const auto tail = ReceiveTcpMedia(ServerPortOf(*setup), server.Media().size() - from, 3s);
  EXPECT_EQ(tail.size(), server.Media().size() - from);
  EXPECT_TRUE(
      std::equal(tail.begin(), tail.end(), server.Media().begin() + static_cast<ptrdiff_t>(from)));
}

TEST(MediaTest, PauseStopsAndScaleQuickensTheFlow) {
  ServerFixture server;
  const std::string url = server.Url("/rec01.mp4");
  RtspClient client(server.Port());
  const auto setup = server.SetupAndPlay(client, "/rec01.mp4", true, 10000);
  ASSERT_TRUE(setup);
  // Reads what arrives in slices of time.
  struct Reader {
    recsim::UniqueFd fd;
    size_t total = 0;
    size_t ReadFor(std::chrono::milliseconds span) {
      const auto end = Clock::now() + span;
      size_t got = 0;
      while (Clock::now() < end) {
        if (!recsim::WaitReadable(fd.Get(), 10ms)) continue;
        char chunk[8192];
        const ssize_t n = ::recv(fd.Get(), chunk, sizeof chunk, 0);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
      }
      total += got;
      return got;
    }
  };
  Reader reader{ConnectTcp(ServerPortOf(*setup))};
  ASSERT_TRUE(reader.fd.Valid());
  EXPECT_GT(reader.ReadFor(200ms), 0u);
  ASSERT_EQ(client.Request(Play(url, 3).replace(0, 4, "PAUSE"))->status, 200);
  reader.ReadFor(100ms);  // what was under way
  EXPECT_EQ(reader.ReadFor(300ms), 0u) << "paused";
  ASSERT_EQ(client.Request(Play(url, 4, "Scale:8\r\nRange: npt=0.0-\r\n"))
                ->status, 200);
  // At 8 times the pace the remaining ~0.8 s of stream take ~0.1 s.
  reader.ReadFor(400ms);
  EXPECT_EQ(reader.total, server.Media().size());
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
  const auto media = ReceiveTcpMedia(ServerPortOf(*setup), 3 * server.Media().size(), 5s);
  ASSERT_EQ(media.size(), 3 * server.Media().size());
  for (int round = 0; round < 3; ++round)
    EXPECT_TRUE(std::equal(server.Media().begin(), server.Media().end(),
                           media.begin() + static_cast<ptrdiff_t>(round * server.Media().size())));
}

}  // namespace
