// The stream client library against the real recsim program on 127.0.0.1, serving files
// recgen wrote: the whole road of a host over TCP and UDP media, the notifications, refused
// and redirected opens, a server that stops answering or dies, and a grabbed picture.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "ClientFixture.h"
#include "DebugOutput.h"
#include "Recording.h"
#include "RecsimProcess.h"
#include "recorder/GroupAssembler.h"

namespace streamclient::test {
namespace {

using namespace std::chrono_literals;
using recsim::RecsimProcess;
namespace fs = std::filesystem;

constexpr int kFps = 25;
constexpr int kGroupFrames = 5;                   // a group is 1/5 s
constexpr int kSeconds = 8;
constexpr int kTotalTime = kSeconds * 64;         // the SETUP answer's "timestamp"
constexpr int kGroupsPerSecond = kFps / kGroupFrames;
constexpr int kWidth = 176;
constexpr int kHeight = 144;

// The recording every test serves, written once: "rec.mp4" below a fresh root folder.
class Served {
 public:
  static Served& Get() {
    static Served served;
    return served;
  }
  const fs::path& Root() const { return root_; }
  const std::string& File() const { return file_; }
  std::string Header() const { return file_.substr(0, recorder::kFileHeaderSize); }
  // Where each whole group of a byte stream stands in the file's group order (-1 when the
  // file has no such group).
  std::vector<int> GroupIndices(const std::string& stream) const {
    std::vector<int> indices;
    for (const std::string& group : Groups(stream)) {
      const auto found = index_.find(group);
      indices.push_back(found == index_.end() ? -1 : found->second);
    }
    return indices;
  }

 private:
  Served() : root_(fs::temp_directory_path() / ("client_e2e_" + std::to_string(::getpid()))) {
    fs::create_directories(root_);
    recgen::Options options;
    options.codec = recgen::VideoCodec::Mpeg4;
    options.width = kWidth;
    options.height = kHeight;
    options.fps = kFps;
    options.frames = kSeconds * kFps;
    options.groupFrames = kGroupFrames;
    options.audioCode = recorder::kAudioAdpcm;
    options.output = (root_ / "rec.mp4").string();
    recgen::WriteRecording(options);
    std::ifstream in(options.output, std::ios::binary);
    file_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const auto groups = Groups(file_.substr(recorder::kFileHeaderSize));
    for (size_t i = 0; i < groups.size(); ++i) index_.emplace(groups[i], static_cast<int>(i));
  }
  ~Served() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  static std::vector<std::string> Groups(const std::string& stream) {
    recorder::GroupAssembler assembler(1 << 22);
    assembler.Append({reinterpret_cast<const uint8_t*>(stream.data()), stream.size()});
    std::vector<std::string> groups;
    while (const auto group = assembler.Next())
      groups.emplace_back(reinterpret_cast<const char*>(group->start), group->Size());
    return groups;
  }

  fs::path root_;
  std::string file_;
  std::map<std::string, int> index_;
};

// Client ports of their own, so the library's own tests may run beside these.
constexpr uint16_t kFirstPort = 11000;
constexpr uint16_t kPortLimit = 11200;

class ClientRecsimTest : public ClientFixture {
 protected:
  void SetUp() override {
    ClientFixture::SetUp();
    PlayerManager::Instance().Pools().udp.Fill(kFirstPort, kPortLimit);
    PlayerManager::Instance().Pools().tcp.Fill(kFirstPort, kPortLimit);
  }
  std::unique_ptr<RecsimProcess> Start(const std::vector<std::string>& extra = {}) {
    auto server = std::make_unique<RecsimProcess>(RECSIM_BINARY, Served::Get().Root().string(), extra);
    EXPECT_TRUE(server->Started());
    return server;
  }
  size_t Received() { return Host().Stream().size(); }
  // Waits until no stream bytes came for `quiet`; false when they still flowed at `limit`.
  bool WaitForQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds limit) {
    size_t last = Received();
    auto changed = std::chrono::steady_clock::now();
    return WaitFor(
        [&] {
          const auto now = std::chrono::steady_clock::now();
          if (Received() != last) {
            last = Received();
            changed = now;
          }
          return now - changed >= quiet;
        },
        limit);
  }
};

class MainRoad : public ClientRecsimTest, public ::testing::WithParamInterface<int> {};

// Open, play, pause, resume, seek, scale and stop, with the stream checked group by group:
// everything before the seek in file order without a gap, one jump forward at the seek, and
// the file's last group at the end.
TEST_P(MainRoad, OpenPlayPauseResumeSeekScaleStop) {
  const auto server = Start();
  const int handle = NewPlayer(GetParam());
  ASSERT_EQ(QRLS_OpenURL(handle, server->Url("/rec.mp4").c_str(), 9), 1);
  const std::string total = std::to_string(kTotalTime);
  EXPECT_EQ(Host().Events(), (std::vector<std::string>{"header:40", "total:" + total, "opened:1",
                                                       "msg:1:" + total, "msg:2:1"}));
  EXPECT_EQ(Host().Header(), Served::Get().Header());

  ASSERT_EQ(QRLS_Play(handle), 1);
  ASSERT_TRUE(WaitFor([&] { return Received() > 20'000; }, 5s));
  ASSERT_EQ(QRLS_Pause(handle), 1);
  // What was on the way arrives; a stream still flowing is never quiet that long (a group
  // goes out every 1/5 s).
  ASSERT_TRUE(WaitForQuiet(600ms, 10s));
  const size_t paused = Received();
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(Received(), paused);
  ASSERT_EQ(QRLS_Resume(handle), 1);
  ASSERT_TRUE(WaitFor([&] { return Received() > paused; }, 5s));

  constexpr int kSeekSeconds = 5;
  ASSERT_EQ(QRLS_RandomPlay(handle, kSeekSeconds * 64), 1);
  ASSERT_EQ(QRLS_ChangeRate(handle, 2), 0);
  const int lastGroup = kSeconds * kGroupsPerSecond - 1;
  ASSERT_TRUE(WaitFor(
      [&] {
        const auto indices = Served::Get().GroupIndices(Host().Stream());
        return !indices.empty() && indices.back() == lastGroup;
      },
      5s));
  EXPECT_EQ(QRLS_Stop(handle), 0);
  EXPECT_EQ(QRLS_Play(handle), -1);  // the handle is gone

  const auto events = Host().Events();
  EXPECT_EQ(events.back(), "stream");  // no notification after the data began
  const auto indices = Served::Get().GroupIndices(Host().Stream());
  int jumps = 0;
  for (size_t i = 0; i < indices.size(); ++i) {
    ASSERT_GE(indices[i], 0) << "group " << i << " is not in the file";
    if (i == 0) {
      EXPECT_EQ(indices[0], 0);
    } else if (indices[i] != indices[i - 1] + 1) {
      ++jumps;
      EXPECT_GE(indices[i], (kSeekSeconds - 1) * kGroupsPerSecond);
      EXPECT_GT(indices[i], indices[i - 1]);
    }
  }
  EXPECT_LE(jumps, 1);
  for (int block : Host().BlockSizes()) EXPECT_LE(block, 5108);
}

INSTANTIATE_TEST_SUITE_P(Transports, MainRoad, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param == 0 ? "Tcp" : "Udp"; });

TEST_F(ClientRecsimTest, LiveChannelHasNoTotalTimeAndLoops) {
  const auto server = Start({"--fast"});
  const int handle = NewPlayer(0);
  ASSERT_EQ(QRLS_OpenURL(handle, server->Url("/rec.mp4/av_stream").c_str(), 0), 1);
  EXPECT_EQ(Host().Events(),
            (std::vector<std::string>{"header:40", "total:-1", "opened:1", "msg:1:-1", "msg:2:1"}));
  ASSERT_EQ(QRLS_Play(handle), 1);
  const size_t file = Served::Get().File().size();
  EXPECT_TRUE(WaitFor([&] { return Received() > 2 * file; }, 10s));  // the file went round
  EXPECT_EQ(QRLS_Stop(handle), 0);
}

TEST_F(ClientRecsimTest, RefusedSetupTellsTheHost) {
  const auto server = Start({"--fault", "SETUP:status=454"});
  const int handle = NewPlayer(0);
  EXPECT_EQ(QRLS_OpenURL(handle, server->Url("/rec.mp4").c_str(), 0), -1);
  EXPECT_EQ(Host().Events(), (std::vector<std::string>{"opened:0", "msg:2:0"}));
  EXPECT_EQ(QRLS_Play(handle), -1);
  EXPECT_EQ(QRLS_Destroy(handle), 0);
}

// A redirected SETUP is followed to its "Location", at most three times; a longer chain, or a
// redirect without a target, fails the open instead of reporting success without media.
TEST_F(ClientRecsimTest, RedirectedSetupIsFollowedOrFails) {
  {
    const auto server = Start({"--fault", "SETUP:redirect=1"});
    const int handle = NewPlayer(1);
    ASSERT_EQ(QRLS_OpenURL(handle, server->Url("/rec.mp4").c_str(), 0), 1);
    ASSERT_EQ(QRLS_Play(handle), 1);
    EXPECT_TRUE(WaitFor([&] { return Received() > 20'000; }, 10s));
    EXPECT_EQ(QRLS_Stop(handle), 0);
  }
  for (const char* fault : {"SETUP:redirect=4", "SETUP:status=302"}) {
    const auto server = Start({"--fault", fault});
    Host().Clear();
    const int handle = NewPlayer(1);
    EXPECT_EQ(QRLS_OpenURL(handle, server->Url("/rec.mp4").c_str(), 0), -1) << fault;
    EXPECT_EQ(Host().Events(), (std::vector<std::string>{"opened:0", "msg:2:0"})) << fault;
    unsigned char header[64];
    EXPECT_EQ(QRLS_GetHeader(handle, header, sizeof header), -1);
    EXPECT_EQ(QRLS_Destroy(handle), 0);
  }
}

// The keep-alive waits for its answer without the session lock: a pause on the same player
// goes through at once, and the late answer still counts when it comes.
TEST_F(ClientRecsimTest, LateKeepAliveAnswerDoesNotHoldUpThePlayer) {
  RtspTimings timings = PlayerManager::Instance().Timings();
  timings.receiveWaitMs = 8000;
  PlayerManager::Instance().SetTimings(timings);
  const auto server = Start({"--fault", "ANNOUNCE:late=5000"});
  const int handle = NewPlayer(0);
  ASSERT_EQ(QRLS_OpenURL(handle, server->Url("/rec.mp4").c_str(), 0), 1);
  ASSERT_EQ(QRLS_Play(handle), 1);
  auto outstanding = [handle] {
    return OnSession(handle, [](RtspSession& session) { return session.KeepAliveOutstanding(); });
  };
  ASSERT_TRUE(WaitFor(outstanding, 5s));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(QRLS_Pause(handle), 1);
  const auto took = std::chrono::steady_clock::now() - start;
  std::printf(
      "pause during a keep-alive awaiting its answer: %lld us\n",
      static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(took).count()));
  if (!kSanitized) {
    EXPECT_LT(took, 100ms);
  }
  EXPECT_TRUE(outstanding()) << "the answer is not due yet";
  EXPECT_EQ(QRLS_Resume(handle), 1);
  EXPECT_TRUE(WaitFor([&] { return !outstanding(); }, 15s));
  EXPECT_EQ(Host().Count("msg:14:0"), 0);
  EXPECT_EQ(QRLS_Stop(handle), 0);
}

// An answer carrying an older CSeq than the request's is not its answer.
TEST_F(ClientRecsimTest, StaleAnswerIsIgnored) {
  const auto server = Start({"--fault", "PAUSE:stale"});
  const int handle = NewPlayer(0);
  ASSERT_EQ(QRLS_OpenURL(handle, server->Url("/rec.mp4").c_str(), 0), 1);
  ASSERT_EQ(QRLS_Play(handle), 1);
  EXPECT_EQ(QRLS_Pause(handle), 1);
  EXPECT_EQ(QRLS_Resume(handle), 1);  // and the next answer is its own, not the pause's
  EXPECT_EQ(QRLS_Stop(handle), 0);
}

// CPU time and voluntary context switches of this process so far.
std::pair<std::chrono::microseconds, long> ProcessUsage() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  auto micros = [](const timeval& t) {
    return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
  };
  return {micros(usage.ru_utime) + micros(usage.ru_stime), usage.ru_nvcsw};
}

// A media connection the server closes ends reception and is reported once; nothing keeps
// retrying it.
TEST_F(ClientRecsimTest, ServerClosingTheMediaConnectionIsReportedOnce) {
  constexpr size_t kCut = 20'000;
  const auto server = Start({"--close-media-after", std::to_string(kCut)});
  const int handle = NewPlayer(0);
  ASSERT_EQ(QRLS_OpenURL(handle, server->Url("/rec.mp4").c_str(), 0), 1);
  ASSERT_EQ(QRLS_Play(handle), 1);
  ASSERT_TRUE(WaitFor([&] { return Host().Count("msg:14:0") > 0; }, 10s));
  EXPECT_EQ(Received(), kCut);
  const auto [cpuBefore, switchesBefore] = ProcessUsage();
  std::this_thread::sleep_for(2s);
  const auto [cpuAfter, switchesAfter] = ProcessUsage();
  std::printf("after the close, over 2 s: %lld us of CPU, %ld voluntary switches\n",
              static_cast<long long>((cpuAfter - cpuBefore).count()),
              switchesAfter - switchesBefore);
  EXPECT_LT(cpuAfter - cpuBefore, 200ms);
  // A thread retrying the closed connection every 20 ms would switch a hundred times.
  if (!kSanitized) {
    EXPECT_LT(switchesAfter - switchesBefore, 20);
  }
  EXPECT_EQ(Host().Count("msg:14:0"), 1);
  EXPECT_EQ(Host().Count("disconnected"), 1);
  EXPECT_EQ(QRLS_Stop(handle), 0);
}

TEST_F(ClientRecsimTest, SixUnansweredKeepAlivesReportOnce) {
  RtspTimings timings = PlayerManager::Instance().Timings();
  timings.keepAliveIntervalMs = 20;
  timings.receiveWaitMs = 150;
  PlayerManager::Instance().SetTimings(timings);
  const auto server = Start({"--fault", "ANNOUNCE:silent"});
  std::atomic<int> unanswered{0};
  SetDebugCapture([&unanswered](std::string_view text) {
    if (text == "zxq--------RecvRtspResponse nothing has been received 1!\n") ++unanswered;
  });
  struct Uncapture {
    ~Uncapture() { SetDebugCapture({}); }
  } uncapture;
  const int handle = NewPlayer(0);
  const auto opened = std::chrono::steady_clock::now();
  ASSERT_EQ(QRLS_OpenURL(handle, server->Url("/rec.mp4").c_str(), 0), 1);
  ASSERT_TRUE(WaitFor([&] { return Host().Count("msg:14:0") > 0; }, 10s));
  // Six misses of at least one receive wait each came first.
  EXPECT_GE(std::chrono::steady_clock::now() - opened, 5 * 150ms);
  EXPECT_EQ(Host().Count("disconnected"), 1);
  // Three more misses, each traced when its wait ran out: still one report.
  const int missed = unanswered.load();
  EXPECT_TRUE(WaitFor([&] { return unanswered >= missed + 3; }, 10s));
  EXPECT_EQ(Host().Count("msg:14:0"), 1);
  EXPECT_EQ(QRLS_Destroy(handle), 0);
}

TEST_F(ClientRecsimTest, ServerDyingMidStreamDoesNotHang) {
  auto server = Start();
  const int handle = NewPlayer(0);
  ASSERT_EQ(QRLS_OpenURL(handle, server->Url("/rec.mp4").c_str(), 0), 1);
  ASSERT_EQ(QRLS_Play(handle), 1);
  ASSERT_TRUE(WaitFor([&] { return Received() > 0; }, 5s));
  server->Kill();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(QRLS_Pause(handle), -1);
  EXPECT_EQ(QRLS_Stop(handle), 0);
  // The fixture's 1 s receive wait bounds each exchange; the receive thread ends at once.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
  const std::string& file = Served::Get().File();
  const std::string stream = Host().Stream();
  EXPECT_EQ(file.compare(recorder::kFileHeaderSize, stream.size(), stream), 0);
}

// Width and height of a BMP file as libavformat reads it; 0x0 when it cannot. The format is
// named: a probe may take a picture's raw bytes for some audio format.
std::pair<int, int> PictureSize(const std::string& path) {
  AVFormatContext* context = nullptr;
  if (avformat_open_input(&context, path.c_str(), av_find_input_format("bmp_pipe"), nullptr) != 0)
    return {0, 0};
  std::pair<int, int> size{0, 0};
  if (avformat_find_stream_info(context, nullptr) >= 0 && context->nb_streams == 1) {
    const AVCodecParameters* codec = context->streams[0]->codecpar;
    if (codec->codec_id == AV_CODEC_ID_BMP) size = {codec->width, codec->height};
  }
  avformat_close_input(&context);
  return size;
}

TEST_F(ClientRecsimTest, GrabbedPictureIsADecodableBmp) {
  const auto server = Start();
  const int handle = Track(QRLS_CreatePlayer(&sink_, 1, RecordData, RecordMessage, 0));
  ASSERT_EQ(QRLS_OpenURL(handle, server->Url("/rec.mp4").c_str(), 0), 1);
  ASSERT_EQ(QRLS_Play(handle), 1);
  const fs::path picture = Served::Get().Root() / "grab.bmp";
  ASSERT_EQ(QRLS_GrabPic(handle, picture.c_str(), 0), 0);
  EXPECT_EQ(PictureSize(picture.string()), std::make_pair(kWidth, kHeight));
  EXPECT_EQ(QRLS_Stop(handle), 0);
}

}  // namespace
}  // namespace streamclient::test
