// A bounded fuzz run of qrldemux: recordings mutated the ways storage and transmission spoil
// them (flipped bytes, overwritten lengths and start codes, cut, repeated and lost stretches)
// are played pulled from the file and pushed through a queue, with a seek now and then. Every
// run must end in end of stream or an error; a crash or a hang fails. The seed is fixed, so a
// failure repeats; the input that failed is kept beside the test's other files.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <random>

#include "GstHarness.h"

namespace recastgst::testing {
namespace {

constexpr auto kRunTime = std::chrono::seconds(10);
constexpr uint32_t kSeed = 20261207;

// Words a damaged header or length is likely to hold.
constexpr uint32_t kInterestingWords[] = {0,      1,          2,          0x1001,    0x1003,
                                          0x1006, 0x00000103, 0x7FFFFFFF, 0xFFFFFFFF, 4 << 20};

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Mutator {
 public:
  explicit Mutator(uint32_t seed) : random_(seed) {}

  std::vector<uint8_t> Mutate(std::vector<uint8_t> bytes) {
    const int count = Pick(1, 8);
    for (int i = 0; i < count && bytes.size() > 8; ++i) MutateOnce(bytes);
    return bytes;
  }

  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

 private:
  size_t Offset(const std::vector<uint8_t>& bytes) {
    // Mostly after the FileHeader, where the groups are; now and then in it.
    const size_t low = Pick(0, 9) == 0 ? 0 : std::min<size_t>(recorder::kFileHeaderSize, bytes.size() - 1);
    return std::uniform_int_distribution<size_t>(low, bytes.size() - 1)(random_);
  }

  void MutateOnce(std::vector<uint8_t>& bytes) {
    const size_t at = Offset(bytes);
    switch (Pick(0, 5)) {
      case 0: bytes[at] ^= static_cast<uint8_t>(Pick(1, 255)); break;
      case 1: {
        const uint32_t word = kInterestingWords[Pick(0, std::size(kInterestingWords) - 1)];
        for (size_t i = 0; i < 4 && at + i < bytes.size(); ++i)
          bytes[at + i] = static_cast<uint8_t>(word >> (8 * i));
        break;
      }
      case 2: bytes.resize(at); break;
      case 3: {
        const size_t length = std::min<size_t>(Pick(1, 4096), bytes.size() - at);
        bytes.erase(bytes.begin() + static_cast<ptrdiff_t>(at),
                    bytes.begin() + static_cast<ptrdiff_t>(at + length));
        break;
      }
      case 4: {
        const size_t length = std::min<size_t>(Pick(1, 4096), bytes.size() - at);
        const std::vector<uint8_t> copy(bytes.begin() + static_cast<ptrdiff_t>(at),
                                        bytes.begin() + static_cast<ptrdiff_t>(at + length));
        const size_t to = Offset(bytes);
        bytes.insert(bytes.begin() + static_cast<ptrdiff_t>(to), copy.begin(), copy.end());
        break;
      }
      default: {
        // A group start word where there was none: scanners must not trust it.
        for (size_t i = 0; i < 4 && at + i < bytes.size(); ++i) bytes[at + i] = i == 0 ? 1 : 0;
        break;
      }
    }
  }

  std::mt19937 random_;
};

TEST(DemuxFuzz, MutatedRecordingsEndCleanly) {
  std::vector<std::vector<uint8_t>> seeds;
  for (const auto& [codec, audio] : {std::pair{recgen::VideoCodec::H264, 0x1001u},
                                     std::pair{recgen::VideoCodec::Mpeg4, 0x7221u}}) {
    recgen::Options options = SmallOptions("seed" + std::to_string(seeds.size()) + ".mp4");
    options.codec = codec;
    options.audioCode = audio;
    options.frames = 30;
    Write(options);
    seeds.push_back(ReadAll(options.output));
  }
  const std::string input = (TestDir() / "input.qrl").string();
  Mutator mutator(kSeed);
  int runs = 0;
  const auto end = std::chrono::steady_clock::now() + kRunTime;
  while (std::chrono::steady_clock::now() < end) {
    const std::vector<uint8_t> bytes = mutator.Mutate(seeds[runs % seeds.size()]);
    std::ofstream(input, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const bool pushed = mutator.Pick(0, 1) == 1;
    const std::string description =
        "filesrc location=\"" + input + "\" ! " + (pushed ? "queue ! " : "") +
        "qrldemux name=d d.video ! queue ! fakesink name=v sync=false"
        " d.audio ! queue ! fakesink name=a sync=false";
    RunOptions options;
    options.deadline = std::chrono::seconds(20);
    const GstClockTime target = static_cast<GstClockTime>(mutator.Pick(0, 1200)) * GST_MSECOND;
    if (!pushed && mutator.Pick(0, 2) == 0) {
      options.afterPreroll = [target](GstElement* pipeline) {
        gst_element_seek_simple(pipeline, GST_FORMAT_TIME,
                                static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT),
                                static_cast<gint64>(target));
        gst_element_get_state(pipeline, nullptr, nullptr, 20 * GST_SECOND);
      };
    }
    const RunResult run = RunPipeline(description, options);
    ASSERT_TRUE(run.eos || !run.error.empty()) << "run " << runs << " (input kept in " << input << ")";
    ASSERT_EQ(run.error.find("deadline"), std::string::npos)
        << "run " << runs << " hung (input kept in " << input << ")";
    ++runs;
  }
  std::cout << runs << " mutated recordings played\n";
  EXPECT_GT(runs, 0);
}

}  // namespace
}  // namespace recastgst::testing
