// CConverter and CGraphCtl over a real graph: recgen recordings rendered by the registered
// recorder filters, the outputs built from the registered system, ffdshow and ASF writer
// modules, run to completion and read back.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <regex>
#include <thread>

#include "ComRuntime.h"
#include "GraphClasses.h"
#include "GraphConverter.h"
#include "MediaProbe.h"
#include "OleInterfaces.h"
#include "PinUtil.h"
#include "Recording.h"
#include "ScopedTestRegistry.h"
#include "SysFilterIds.h"
#include "WideString.h"

namespace recast {
namespace {

namespace fs = std::filesystem;

constexpr auto kPollStep = std::chrono::milliseconds(20);
constexpr auto kJobLimit = std::chrono::seconds(60);

HRESULT Register(const char* module) {
  void* handle = dlopen(module, RTLD_NOW | RTLD_LOCAL);
  if (!handle) return E_FAIL;
  const auto entry = reinterpret_cast<HRESULT (*)()>(dlsym(handle, "DllRegisterServer"));
  const HRESULT hr = entry ? entry() : E_FAIL;
  dlclose(handle);
  return hr;
}

struct Shown {
  std::string text, caption;
};

class ConverterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    registry_ = new ScopedTestRegistry;
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    classes_ = new InProcessGraphClasses;
    // The recorder filters and the system's renderers: what rendering a recording needs.
    ASSERT_EQ(S_OK, Register(RECORDER_FILTERS_MODULE));
    ASSERT_EQ(S_OK, Register(SYSFILTERS_MODULE));
  }
  static void TearDownTestSuite() {
    delete classes_;
    CoUninitialize();
    delete registry_;
  }
  static void RegisterOutputs() {
    for (const char* module : {FFDSHOW_MODULE, WMSINK_MODULE})
      ASSERT_EQ(S_OK, Register(module));
  }
  void SetUp() override {
    char pattern[] = "/tmp/recast_converter_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    dir_ = pattern;
  }
  void TearDown() override {
    converter_.reset();
    fs::remove_all(dir_);
  }

  std::string Write(const std::string& name, int width, int height, std::optional<uint32_t> audio,
                    int frames = 50) {
    recgen::Options options;
    options.width = width;
    options.height = height;
    options.frames = frames;
    options.audioCode = audio;
    options.output = (dir_ / name).string();
    recgen::WriteRecording(options);
    return options.output;
  }

  CConverter& Make() {
    converter_ = std::make_unique<CConverter>(
        [this](std::string_view text, std::string_view caption) {
          shown_.push_back({std::string(text), std::string(caption)});
        });
    return *converter_;
  }

  // Polls as the driver does until 100; returns every reading.
  std::vector<int> RunToCompletion(CConverter& converter) {
    std::vector<int> readings;
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < kJobLimit) {
      readings.push_back(converter.Progress());
      if (readings.back() == kProgressComplete) break;
      std::this_thread::sleep_for(kPollStep);
    }
    return readings;
  }

  // Polls until the job completes or fails.
  static void RunToTheEnd(CConverter& converter) {
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < kJobLimit &&
           converter.Progress() != kProgressComplete && SUCCEEDED(converter.Failure()))
      std::this_thread::sleep_for(kPollStep);
  }

  static inline ScopedTestRegistry* registry_ = nullptr;
  static inline InProcessGraphClasses* classes_ = nullptr;
  fs::path dir_;
  std::unique_ptr<CConverter> converter_;
  std::vector<Shown> shown_;
};

TEST_F(ConverterTest, GraphIsListedInTheRunningObjectTableWhileItLives) {
  CConverter& converter = Make();
  ASSERT_EQ(S_OK, converter.Open(Write("rot.mp4", 352, 288, std::nullopt, 10)));
  const std::string name = WideToUtf8(converter.Graph().TableName());
  char pid[16];
  std::snprintf(pid, sizeof pid, "%08x", static_cast<unsigned>(getpid()));
  EXPECT_TRUE(std::regex_match(name, std::regex("FilterGraph [0-9A-F]{8,16} pid " + std::string(pid)))) << name;

  ComPtr<IRunningObjectTable> table;
  ComPtr<IMoniker> moniker;
  ASSERT_EQ(S_OK, GetRunningObjectTable(0, table.GetAddressOf()));
  ASSERT_EQ(S_OK, CreateItemMoniker(u"!", Utf8ToWide(name).c_str(), moniker.GetAddressOf()));
  EXPECT_EQ(S_OK, table->IsRunning(moniker.Get()));
  converter.Release();
  EXPECT_NE(S_OK, table->IsRunning(moniker.Get()));
}

TEST_F(ConverterTest, MissingOutputFiltersAreReportedAndTheGraphReleased) {
  CConverter& converter = Make();
  ASSERT_EQ(S_OK, converter.Open(Write("plain.mp4", 352, 288, 0x1011, 10)));
  VideoSizeAnswer size;
  ASSERT_EQ(S_OK, converter.QueryVideoSize(size));
  EXPECT_EQ(352, size.width);
  EXPECT_EQ(288, size.height);
  EXPECT_EQ(10 * 400'000, size.duration);

  // The ffdshow encoders are not registered yet (the tests that need them come later).
  EXPECT_TRUE(FAILED(converter.BuildOutput(OutputKind::Avi, (dir_ / "x.avi").string(), 25, false)));
  ASSERT_EQ(1u, shown_.size());
  EXPECT_EQ("Have not install necessary filter(s)!", shown_[0].text);
  EXPECT_EQ("Attention!", shown_[0].caption);
  EXPECT_FALSE(converter.HasGraph());
  EXPECT_EQ(0, converter.Progress());
}

TEST_F(ConverterTest, WmvProgressStaysBelowCompletionUntilTheGraphEnds) {
  RegisterOutputs();
  CConverter& converter = Make();
  const std::string source = Write("wmv.mp4", 352, 288, 0x1011, 100);
  ASSERT_EQ(S_OK, converter.Open(source));
  const std::string output = source + "_OUTPUT.WMV";
  ASSERT_EQ(S_OK, converter.BuildOutput(OutputKind::Wmv, output, 25, false));
  // Not found under the writer's product name, so made by class under the plain name.
  ComPtr<IBaseFilter> writer;
  EXPECT_EQ(S_OK, converter.Graph().Graph()->FindFilterByName(u"ASF Writer", writer.GetAddressOf()));
  ASSERT_EQ(S_OK, converter.SetParams({352, 288, 25, 500'000, 1, 1}));
  ASSERT_EQ(S_OK, converter.Start());
  EXPECT_EQ(ConverterState::Running, converter.State());

  const std::vector<int> readings = RunToCompletion(converter);
  ASSERT_EQ(kProgressComplete, readings.back());
  for (size_t i = 0; i + 1 < readings.size(); ++i) EXPECT_LE(readings[i], 99);
  EXPECT_EQ(S_OK, converter.Stop());
  converter.Release();
  EXPECT_EQ(100, ProbeMedia(output).videoFrames);
  EXPECT_TRUE(shown_.empty());
}

TEST_F(ConverterTest, NarrowNtscPassesThroughTheDecompressor) {
  RegisterOutputs();
  CConverter& converter = Make();
  const std::string source = Write("qcif.mp4", 176, 120, std::nullopt, 25);
  ASSERT_EQ(S_OK, converter.Open(source));
  ASSERT_EQ(S_OK, converter.BuildOutput(OutputKind::Wmv, source + "_OUTPUT.WMV", 25, true));
  ASSERT_EQ(S_OK, converter.SetParams({176, 120, 25, 85, 0, 0}));
  ASSERT_EQ(S_OK, converter.Start());
  ComPtr<IBaseFilter> decompressor;
  ASSERT_EQ(S_OK, converter.Graph().Graph()->FindFilterByName(kAviDecompressorName,
                                                              decompressor.GetAddressOf()));
  const ComPtr<IPin> output = CGraphCtl::PinOf(decompressor.Get(), PINDIR_OUTPUT);
  const ComPtr<IPin> peer = ConnectedPin(output.Get());
  ASSERT_TRUE(peer);
  EXPECT_EQ(u"Video In", PinName(peer.Get()));
  ASSERT_EQ(kProgressComplete, RunToCompletion(converter).back());
}

// The recorder file source offers its audio pin for silent recordings too, so the audio chain
// may connect and carry silence; what counts is that the video converts whole.
TEST_F(ConverterTest, AviOfASilentRecordingConvertsItsVideo) {
  RegisterOutputs();
  CConverter& converter = Make();
  const std::string source = Write("silent.mp4", 352, 288, std::nullopt, 50);
  ASSERT_EQ(S_OK, converter.Open(source));
  const std::string output = source + "_OUTPUT.AVI";
  ASSERT_EQ(S_OK, converter.BuildOutput(OutputKind::Avi, output, 25, false));
  ASSERT_EQ(S_OK, converter.Start());
  ASSERT_EQ(kProgressComplete, RunToCompletion(converter).back());
  converter.Release();
  const MediaSummary media = ProbeMedia(output);
  EXPECT_EQ(50, media.videoFrames);
}

TEST_F(ConverterTest, PropertyPagesWithoutAFrameCannotBeShown) {
  RegisterOutputs();
  CConverter& converter = Make();
  ASSERT_EQ(S_OK, converter.Open(Write("pages.mp4", 352, 288, 0x1011, 10)));
  EXPECT_TRUE(FAILED(converter.ConfigureAudio()));  // not built yet: refused without a word
  EXPECT_TRUE(shown_.empty());
  ASSERT_EQ(S_OK, converter.BuildOutput(OutputKind::Avi, (dir_ / "p.avi").string(), 25, false));
  EXPECT_TRUE(FAILED(converter.ConfigureVideo()));
  EXPECT_TRUE(FAILED(converter.ConfigureAudio()));
  ASSERT_EQ(2u, shown_.size());
  EXPECT_EQ("Failed to config video!", shown_[0].text);
  EXPECT_EQ("Failed to config audio!", shown_[1].text);
  EXPECT_EQ("Attention", shown_[1].caption);
}

// Files may grow only so far while this lives, as on a full disk: writes then fail with EFBIG
// (the signal the system sends first is ignored, as recast ignores it).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, saved_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, previous_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  sighandler_t previous_ = SIG_DFL;
};

class ConverterOutputs : public ConverterTest, public ::testing::WithParamInterface<OutputKind> {
 protected:
  std::string Build(CConverter& converter, const std::string& source) {
    const bool avi = GetParam() == OutputKind::Avi;
    const std::string output = source + (avi ? "_OUTPUT.AVI" : "_OUTPUT.WMV");
    EXPECT_EQ(S_OK, converter.Open(source));
    EXPECT_EQ(S_OK, converter.BuildOutput(GetParam(), output, 25, false));
    if (!avi) EXPECT_EQ(S_OK, converter.SetParams({352, 288, 25, 2'000'000, 1, 1}));
    return output;
  }
};

// The output is written under its partial name and takes its own only when it is whole.
TEST_P(ConverterOutputs, FinishedOutputIsRenamedFromItsPartialName) {
  RegisterOutputs();
  CConverter& converter = Make();
  const std::string source = Write("whole.mp4", 352, 288, 0x1011, 25);
  const std::string output = Build(converter, source);
  ASSERT_EQ(S_OK, converter.Start());
  EXPECT_TRUE(fs::exists(output + ".part"));
  EXPECT_FALSE(fs::exists(output));
  RunToTheEnd(converter);
  EXPECT_EQ(S_OK, converter.Failure());
  EXPECT_TRUE(fs::exists(output));
  EXPECT_FALSE(fs::exists(output + ".part"));
  converter.Release();
  EXPECT_EQ(25, ProbeMedia(output).videoFrames);
}

TEST_P(ConverterOutputs, FullDiskFailsTheJobAndLeavesNoOutput) {
  RegisterOutputs();
  CConverter& converter = Make();
  const std::string source = Write("full.mp4", 704, 576, 0x1011, 100);
  const std::string output = Build(converter, source);
  {
    const FileSizeLimit limit(64 * 1024);
    ASSERT_EQ(S_OK, converter.Start());
    RunToTheEnd(converter);
    EXPECT_TRUE(FAILED(converter.Failure()));
    EXPECT_NE(kProgressComplete, converter.Progress());
    EXPECT_TRUE(FAILED(converter.Stop()));  // nothing left to finalise
    converter.Release();
  }
  EXPECT_FALSE(fs::exists(output));
  EXPECT_FALSE(fs::exists(output + ".part"));
}

// Stopping by hand finalises what was written, which then plays under the output's name.
TEST_P(ConverterOutputs, StoppedOutputIsFinalisedAndRenamed) {
  RegisterOutputs();
  CConverter& converter = Make();
  const std::string source = Write("long.mp4", 352, 288, 0x1011, 500);
  const std::string output = Build(converter, source);
  ASSERT_EQ(S_OK, converter.Start());
  const auto start = std::chrono::steady_clock::now();
  while (converter.Headway().position == 0 && converter.Headway().writtenFrames == 0 &&
         std::chrono::steady_clock::now() - start < kJobLimit)
    std::this_thread::sleep_for(kPollStep);
  ASSERT_EQ(S_OK, converter.Stop());
  converter.Release();
  EXPECT_FALSE(fs::exists(output + ".part"));
  const MediaSummary media = ProbeMedia(output);
  EXPECT_GT(media.videoFrames, 0);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ConverterOutputs,
                         ::testing::Values(OutputKind::Avi, OutputKind::Wmv),
                         [](const ::testing::TestParamInfo<OutputKind>& info) {
                           return std::string(info.param == OutputKind::Avi ? "Avi" : "Wmv");
                         });

}  // namespace
}  // namespace recast
