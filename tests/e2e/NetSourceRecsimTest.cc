// The network source against recsim as a simulated recorder and stream server: every scheme
// loads, offers its header and streams; recorded streams report their length and seek; pause
// and run of each kind; loads that must fail do; a simulator killed mid-stream leaves a graph
// that stops and nothing behind. The filter is created directly and connected to a sink that
// keeps the bytes, inside a real graph manager.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <map>
#include <string>
#include <thread>

#include "ByteSink.h"
#include "ComPtr.h"
#include "ComRuntime.h"
#include "DShowErrors.h"
#include "GraphClasses.h"
#include "GraphInterfaces.h"
#include "NetSourceFilter.h"
#include "Recording.h"
#include "RecsimProcess.h"
#include "WideString.h"
#include "recorder/RecorderGuids.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kTimed = false;  // sanitizers slow everything down: no time bounds
#else
constexpr bool kTimed = true;
#endif

namespace netsource::test {
namespace {

using namespace std::chrono_literals;
using testing::ByteSink;
using recsim::RecsimProcess;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kSeconds = 10;
constexpr int kGroupFrames = 5;
constexpr LONGLONG kUnits = 10'000'000;
constexpr char kSpan[] = "20080801120000_20080801123000";
constexpr double kWait = 30;  // generous: loaded machines and sanitizers

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The recordings served and the simulator serving them, shared by the suite.
class Served {
 public:
  static Served& Get() {
    static Served served;
    return served;
  }
  const fs::path& Root() const { return root_; }
  const std::string& Main() const { return main_; }
  std::vector<std::string> Arguments() const {
    const std::string main = (root_ / "ch1.mp4").string();
    return {"--user",      "admin:12345", "--channel",
            "1=" + main,   "--substream", "1=" + (root_ / "sub1.mp4").string(),
            "--span",      std::string("1:") + kSpan + "=" + main};
  }

 private:
  Served() : root_(fs::temp_directory_path() / ("netsource_e2e_" + std::to_string(getpid()))) {
    fs::create_directories(root_);
    recgen::Options options;
    options.codec = recgen::VideoCodec::Mpeg4;
    options.frames = kSeconds * 25;
    options.groupFrames = kGroupFrames;
    options.audioCode = recorder::kAudioG722_16;
    options.output = (root_ / "ch1.mp4").string();
    recgen::WriteRecording(options);
    options.codec = recgen::VideoCodec::H264;
    options.width = 176;
    options.height = 144;
    options.audioCode = recorder::kAudioG711U;
    options.output = (root_ / "sub1.mp4").string();
    recgen::WriteRecording(options);
    main_ = ReadFile(root_ / "ch1.mp4");
  }
  ~Served() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  fs::path root_;
  std::string main_;
};

std::unique_ptr<RecsimProcess> StartSim(const std::vector<std::string>& extra = {}) {
  std::vector<std::string> args = {"--recorder-port", "0", "--legacy", "--legacy-port", "0"};
  const auto served = Served::Get().Arguments();
  args.insert(args.end(), served.begin(), served.end());
  args.insert(args.end(), extra.begin(), extra.end());
  auto sim = std::make_unique<RecsimProcess>(RECSIM_BINARY, Served::Get().Root().string(), args);
  return sim;
}

struct Urls {
  explicit Urls(const RecsimProcess& sim)
      : recorder("127.0.0.1/1/" + std::to_string(sim.RecorderPort()) + "/admin/12345"),
        server("127.0.0.1:" + std::to_string(sim.Port()) + "/ch1.mp4") {}
  std::string Live() const { return "ntrt://" + recorder; }
  std::string Sub() const { return "ntrt://" + recorder + "/1"; }
  std::string Playback() const { return "ntfl://" + recorder + "/ch1.mp4"; }
  std::string Span() const { return "ntfl://" + recorder + "/" + kSpan; }
  std::string Legacy() const { return "Real://127.0.0.1/1/0"; }
  std::string ServerLive() const { return "svrt://" + server; }
  std::string ServerFile() const { return "svfl://" + server; }
  std::string recorder;
  std::string server;
};

// A graph holding the network source and a byte sink.
class SourceGraph {
 public:
  SourceGraph() {
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IGraphBuilder, graph_.ReleaseAndGetVoidAddress()));
    HRESULT hr = S_OK;
    CUnknown* object = NetSourceFilter::CreateInstance(nullptr, &hr);
    EXPECT_EQ(S_OK, hr);
    object->NonDelegatingQueryInterface(IID_IBaseFilter, source_.ReleaseAndGetVoidAddress());
    sink_ = new ByteSink;
    sinkFilter_ = ComPtr<IBaseFilter>(static_cast<IBaseFilter*>(sink_));
    graph_->AddFilter(source_.Get(), u"source");
    graph_->AddFilter(sinkFilter_.Get(), u"sink");
  }
  ~SourceGraph() {
    if (graph_) Control()->Stop();
  }

  HRESULT Load(const std::string& url) {
    return source_.As<IFileSourceFilter>()->Load(Utf8ToWide(url).c_str(), nullptr);
  }
  HRESULT Connect() { return graph_->ConnectDirect(Output().Get(), sink_->Input(), nullptr); }
  ComPtr<IPin> Output() {
    ComPtr<IPin> pin;
    source_->FindPin(u"Stream out", pin.GetAddressOf());
    return pin;
  }
  ComPtr<IMediaSeeking> Seeking() { return Output().As<IMediaSeeking>(); }
  ComPtr<IMediaControl> Control() { return graph_.As<IMediaControl>(); }
  // Runs and waits for `bytes` more bytes than the sink holds now.
  bool RunFor(uint64_t bytes) {
    const uint64_t before = sink_->ByteCount();
    if (FAILED(Control()->Run())) return false;
    return sink_->WaitForBytes(before + bytes, kWait);
  }

  ComPtr<IGraphBuilder> graph_;
  ComPtr<IBaseFilter> source_;
  ByteSink* sink_ = nullptr;
  ComPtr<IBaseFilter> sinkFilter_;
};

class NetSourceRecsim : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    graphClasses_ = new InProcessGraphClasses;
    Served::Get();
    sim_ = StartSim().release();
    ASSERT_TRUE(sim_->Started() && sim_->RecorderPort() && sim_->LegacyPort());
    // The legacy client reaches this simulator, not the fixed ports.
    setenv("QRLCLIENT_PORTS", std::to_string(sim_->LegacyPort()).c_str(), 1);
  }
  static void TearDownTestSuite() {
    delete sim_;
    delete graphClasses_;
    CoUninitialize();
  }
  static Urls U() { return Urls(*sim_); }

  static inline InProcessGraphClasses* graphClasses_ = nullptr;
  static inline RecsimProcess* sim_ = nullptr;
};

uint16_t FormatWord16(const AM_MEDIA_TYPE& mt, size_t offset) {
  return static_cast<uint16_t>(mt.pbFormat[offset] | mt.pbFormat[offset + 1] << 8);
}

TEST_F(NetSourceRecsim, LiveViewOffersItsHeaderAndRefusesSeeking) {
  SourceGraph g;
  ASSERT_EQ(S_OK, g.Load(U().Live()));
  EXPECT_EQ(E_UNEXPECTED, g.Load(U().Live()));

  ULONG flags = 0;
  ASSERT_EQ(S_OK, g.source_.As<IAMPushSource>()->GetPushSourceFlags(&flags));
  EXPECT_EQ(5u, flags);
  DWORD caps = 0;
  ASSERT_EQ(S_OK, g.Seeking()->GetCapabilities(&caps));
  EXPECT_EQ(0x28u, caps);
  LONGLONG duration = 0;
  EXPECT_EQ(E_NOTIMPL, g.Seeking()->GetDuration(&duration));

  LPOLESTR name = nullptr;
  AM_MEDIA_TYPE current{};
  ASSERT_EQ(S_OK, g.source_.As<IFileSourceFilter>()->GetCurFile(&name, &current));
  EXPECT_EQ(U().Live(), WideToUtf8(name));
  CoTaskMemFree(name);
  FreeMediaType(current);

  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(S_OK, g.Output()->EnumMediaTypes(types.GetAddressOf()));
  AM_MEDIA_TYPE* offered[2] = {};
  ULONG fetched = 0;
  EXPECT_EQ(S_FALSE, types->Next(2, offered, &fetched));
  ASSERT_EQ(1u, fetched);
  EXPECT_EQ(FORMAT_RecorderStream, offered[0]->formattype);
  ASSERT_EQ(40u, offered[0]->cbFormat);
  EXPECT_EQ(0, std::memcmp(offered[0]->pbFormat, Served::Get().Main().data(), 28));
  EXPECT_EQ(352, FormatWord16(*offered[0], 28));
  EXPECT_EQ(288, FormatWord16(*offered[0], 30));
  EXPECT_FALSE(offered[0]->bFixedSizeSamples);
  EXPECT_TRUE(offered[0]->bTemporalCompression);
  DeleteMediaType(offered[0]);

  ASSERT_EQ(S_OK, g.Connect());
  ASSERT_TRUE(g.RunFor(30'000));
  const std::string bytes = g.sink_->Bytes();
  EXPECT_EQ(Served::Get().Main().substr(0, 28), bytes.substr(0, 28));  // the header came first
  EXPECT_LE(g.sink_->LargestSample(), 2048u);

  g.Control()->Pause();
  FILTER_STATE state;
  EXPECT_EQ(VFW_S_CANT_CUE, g.source_->GetState(0, &state));
  EXPECT_EQ(State_Paused, state);
  // A live Pause stopped the view; Run starts a new one on the same login.
  EXPECT_TRUE(g.RunFor(30'000));
  EXPECT_EQ(S_OK, g.source_->GetState(0, &state));
}

TEST_F(NetSourceRecsim, SubStreamHeaderKeepsTheSmallerSize) {
  SourceGraph g;
  ASSERT_EQ(S_OK, g.Load(U().Sub()));
  CMediaType type;
  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(S_OK, g.Output()->EnumMediaTypes(types.GetAddressOf()));
  AM_MEDIA_TYPE* offered = nullptr;
  ASSERT_EQ(S_OK, types->Next(1, &offered, nullptr));
  EXPECT_EQ(176, FormatWord16(*offered, 28));
  EXPECT_EQ(144, FormatWord16(*offered, 30));
  DeleteMediaType(offered);
}

// Where each whole group of `stream` stands among the groups of the served file.
std::vector<int> GroupIndices(const std::string& stream) {
  const std::string& file = Served::Get().Main();
  std::map<std::string, int> index;
  std::vector<int> found;
  auto walk = [](const std::string& bytes, auto&& visit) {
    const auto* begin = reinterpret_cast<const uint8_t*>(bytes.data());
    const uint8_t* end = begin + bytes.size();
    for (const uint8_t* p = begin; p + recorder::kGroupHeaderSize <= end;) {
      recorder::GroupView group;
      if (recorder::IsGroupStart(p, static_cast<size_t>(end - p)) &&
          recorder::ParseGroup(p, end, group) == recorder::ParseResult::Complete) {
        visit(std::string(reinterpret_cast<const char*>(group.start), group.Size()));
        p = group.end;
      } else {
        ++p;
      }
    }
  };
  int n = 0;
  walk(file.substr(recorder::kFileHeaderSize), [&](const std::string& g) { index.emplace(g, n++); });
  walk(stream, [&](const std::string& g) {
    const auto it = index.find(g);
    found.push_back(it == index.end() ? -1 : it->second);
  });
  return found;
}

TEST_F(NetSourceRecsim, PlaybackReportsItsLengthAndSeeksToTheSecondHalf) {
  SourceGraph g;
  ASSERT_EQ(S_OK, g.Load(U().Playback()));
  ULONG flags = 0;
  g.source_.As<IAMPushSource>()->GetPushSourceFlags(&flags);
  EXPECT_EQ(2u, flags);
  DWORD caps = 0;
  g.Seeking()->GetCapabilities(&caps);
  EXPECT_EQ(0x37u, caps);
  LONGLONG duration = 0;
  ASSERT_EQ(S_OK, g.Seeking()->GetDuration(&duration));
  EXPECT_EQ(kSeconds * kUnits, duration);

  ASSERT_EQ(S_OK, g.Connect());
  ASSERT_TRUE(g.RunFor(20'000));
  const auto before = GroupIndices(g.sink_->Bytes());
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(0, before.front());

  ASSERT_EQ(S_OK, g.Control()->Pause());
  LONGLONG position = duration / 2;
  ASSERT_EQ(S_OK, g.Seeking()->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr,
                                            AM_SEEKING_NoPositioning));
  EXPECT_GE(g.sink_->Flushes(), 1);
  ASSERT_TRUE(g.RunFor(30'000));
  const auto after = GroupIndices(g.sink_->Bytes());
  const int groups = kSeconds * 25 / kGroupFrames;
  int firstKnown = -1;
  for (int index : after) {
    if (index >= 0) {
      firstKnown = index;
      break;
    }
  }
  EXPECT_GE(firstKnown, groups / 2 - 1) << "the stream after the seek starts at group "
                                        << firstKnown << " of " << groups;
}

TEST_F(NetSourceRecsim, TimeSpanPlaybackLastsTheSpan) {
  // The span is a local calendar time to the filter and to the simulated recorder alike.
  const char* previous = getenv("TZ");
  const std::string saved = previous ? previous : "";
  setenv("TZ", "UTC", 1);
  tzset();
  {
    SourceGraph g;
    ASSERT_EQ(S_OK, g.Load(U().Span()));
    LONGLONG duration = 0;
    ASSERT_EQ(S_OK, g.Seeking()->GetDuration(&duration));
    EXPECT_EQ(18'000'000'000, duration);
    ASSERT_EQ(S_OK, g.Connect());
    EXPECT_TRUE(g.RunFor(20'000));
  }
  if (previous) setenv("TZ", saved.c_str(), 1);
  else unsetenv("TZ");
  tzset();
}

TEST_F(NetSourceRecsim, EveryKindPausesAndRunsAgain) {
  const Urls urls = U();
  for (const std::string& url : {urls.Live(), urls.Playback(), urls.Legacy(), urls.ServerLive(),
                                 urls.ServerFile()}) {
    SCOPED_TRACE(url);
    SourceGraph g;
    ASSERT_EQ(S_OK, g.Load(url));
    ASSERT_EQ(S_OK, g.Connect());
    ASSERT_TRUE(g.RunFor(20'000));
    ASSERT_EQ(S_OK, g.Control()->Pause());
    std::this_thread::sleep_for(200ms);
    ASSERT_TRUE(g.RunFor(20'000));
    ASSERT_EQ(S_OK, g.Control()->Stop());
    ASSERT_TRUE(g.RunFor(20'000)) << "after Stop, Run starts the stream again";
  }
}

TEST_F(NetSourceRecsim, LoadsThatMustFail) {
  const Urls urls = U();
  auto load = [](const std::string& url) {
    SourceGraph g;
    const auto start = Clock::now();
    const HRESULT hr = g.Load(url);
    return std::make_pair(hr, std::chrono::duration<double>(Clock::now() - start).count());
  };
  const auto tooLong = load("ntrt://" + std::string(505, 'x'));  // 512 with the terminator 513
  EXPECT_EQ(E_FAIL, tooLong.first);
  if (kTimed) {
    EXPECT_LT(tooLong.second, 1.0);
  }
  const auto unknown = load("http://127.0.0.1/stream");
  EXPECT_EQ(E_FAIL, unknown.first);
  EXPECT_GE(unknown.second, 2.9);  // the 3 s wait for data that never comes
  const auto wrongPassword =
      load("ntrt://127.0.0.1/1/" + std::to_string(sim_->RecorderPort()) + "/admin/wrong");
  EXPECT_EQ(E_FAIL, wrongPassword.first);
  if (kTimed) {
    EXPECT_LT(wrongPassword.second, 1.5);
  }
  EXPECT_EQ(E_FAIL, load("ntfl://" + urls.recorder + "/nosuchfile").first);
  EXPECT_EQ(E_FAIL, load("ntfl://" + urls.recorder + "/20080801123000_20080801120000").first);
  EXPECT_EQ(E_FAIL, load("ntrt://" + std::string(20, 'h') + "/1/8000/u/p").first);
  EXPECT_EQ(E_POINTER, SourceGraph().source_.As<IFileSourceFilter>()->Load(nullptr, nullptr));
}

TEST_F(NetSourceRecsim, HeaderWithAnUnknownMagicFailsTheLoad) {
  auto sim = StartSim({"--device-fault", "bad-magic"});
  ASSERT_TRUE(sim->Started());
  const Urls urls(*sim);
  for (const std::string& url : {urls.Live(), urls.Playback()}) {
    SourceGraph g;
    EXPECT_EQ(E_FAIL, g.Load(url)) << url;
  }
}

TEST_F(NetSourceRecsim, BufferLimitSizesTheAllocator) {
  SourceGraph g;
  auto limit = g.source_.As<IStreamBufferLimit>();
  EXPECT_EQ(E_INVALIDARG, limit->SetBufferLimit(0));
  EXPECT_EQ(E_INVALIDARG, limit->SetBufferLimit(10001));
  EXPECT_EQ(S_OK, limit->SetBufferLimit(50));
  ASSERT_EQ(S_OK, g.Load(U().ServerFile()));
  ASSERT_EQ(S_OK, g.Connect());
  ComPtr<IMemAllocator> allocator;
  ASSERT_EQ(S_OK, ComPtr<IPin>(g.sink_->Input()).As<IMemInputPin>()->GetAllocator(
                      allocator.GetAddressOf()));
  ALLOCATOR_PROPERTIES properties{};
  allocator->GetProperties(&properties);
  EXPECT_EQ(50, properties.cBuffers);
  EXPECT_GE(properties.cbBuffer, 4096);
  // Shrinking the pool on the way changes nothing a sink can see.
  EXPECT_EQ(S_OK, limit->SetBufferLimit(20));
  EXPECT_TRUE(g.RunFor(60'000));
}

TEST_F(NetSourceRecsim, TwoFiltersLoadAtOnce) {
  const Urls urls = U();
  SourceGraph first;
  SourceGraph second;
  auto a = std::async(std::launch::async, [&] { return first.Load(urls.Live()); });
  auto b = std::async(std::launch::async, [&] { return second.Load(urls.ServerLive()); });
  EXPECT_EQ(S_OK, a.get());
  EXPECT_EQ(S_OK, b.get());
}

size_t CountEntries(const char* folder) {
  size_t count = 0;
  if (DIR* dir = opendir(folder)) {
    while (readdir(dir)) ++count;
    closedir(dir);
  }
  return count;
}

TEST_F(NetSourceRecsim, KilledSimulatorLeavesAStoppableGraphAndNothingBehind) {
  const size_t threads = CountEntries("/proc/self/task");
  const size_t files = CountEntries("/proc/self/fd");
  {
    auto sim = StartSim();
    ASSERT_TRUE(sim->Started());
    setenv("QRLCLIENT_PORTS", std::to_string(sim->LegacyPort()).c_str(), 1);
    const Urls urls(*sim);
    std::vector<std::unique_ptr<SourceGraph>> graphs;
    for (const std::string& url : {urls.Live(), urls.Playback(), urls.Legacy(), urls.ServerFile()}) {
      graphs.push_back(std::make_unique<SourceGraph>());
      ASSERT_EQ(S_OK, graphs.back()->Load(url)) << url;
      ASSERT_EQ(S_OK, graphs.back()->Connect());
      ASSERT_TRUE(graphs.back()->RunFor(20'000)) << url;
    }
    sim->Kill();
    std::this_thread::sleep_for(200ms);
    for (auto& g : graphs) {
      const auto start = Clock::now();
      EXPECT_EQ(S_OK, g->Control()->Stop());
      if (kTimed) {
        EXPECT_LT(Clock::now() - start, 1s);
      }
    }
    graphs.clear();
    setenv("QRLCLIENT_PORTS", std::to_string(sim_->LegacyPort()).c_str(), 1);
  }
  // Library threads end shortly after their streams: wait for them, with a generous bound.
  const auto deadline = Clock::now() + 30s;
  while (Clock::now() < deadline &&
         (CountEntries("/proc/self/task") > threads || CountEntries("/proc/self/fd") > files))
    std::this_thread::sleep_for(50ms);
  EXPECT_LE(CountEntries("/proc/self/task"), threads);
  EXPECT_LE(CountEntries("/proc/self/fd"), files);
}

}  // namespace
}  // namespace netsource::test
