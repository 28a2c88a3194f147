// `recast --batch -j N`: several files at once give what one at a time gives (statuses, names,
// outputs, in list order), and Ctrl-C stops every running file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "MediaProbe.h"
#include "ConversionFixture.h"
#include "RecastRun.h"
#include "Recording.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ParallelBatch : public ConversionFixture {
 protected:
  void Write(const fs::path& path, int seconds, recgen::DamageOptions damage = {}) {
    recgen::Options options;
    options.frames = seconds * options.fps;
    options.audioCode = 0x1011;
    options.damage = damage;
    options.output = path.string();
    fs::create_directories(path.parent_path());
    recgen::WriteRecording(options);
  }

  // A folder of: a good file, a damaged one, a junk file with a recorder ending, and a second
  // file named like the first in another folder.
  std::vector<std::string> MixedFolder(const fs::path& root) {
    Write(root / "a" / "ch01.mp4", 2);
    recgen::DamageOptions damage;
    damage.flipCount = 30;
    damage.badBlockGroup = 1;
    Write(root / "a" / "hurt.264", 2, damage);
    std::ofstream junk(root / "a" / "junk.qrl", std::ios::binary);
    std::mt19937 random(5);
    for (int i = 0; i < 4000; ++i) junk.put(static_cast<char>(random()));
    junk.close();
    Write(root / "b" / "ch01.mp4", 1);
    return {(root / "a").string(), (root / "b" / "ch01.mp4").string()};
  }

  ProcessResult Batch(std::vector<std::string> args, const ProcessOptions& options = {}) {
    args.insert(args.begin(), {RECAST_BINARY, "--batch"});
    return RunProcess(args, dir_, options);
  }

};

// The result lines without their elapsed times, which differ from run to run.
std::vector<std::string> ResultLines(const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream text(out);
  for (std::string line; std::getline(text, line);) {
    const size_t bar = line.find("  [");
    const size_t status = line.rfind("  ");
    lines.push_back(bar == std::string::npos ? line : line.substr(0, bar) + line.substr(status));
  }
  return lines;
}

TEST_F(ParallelBatch, TwoAtOnceGiveWhatOneAtATimeGives) {
  const std::vector<std::string> serialInputs = MixedFolder(dir_ / "serial");
  const std::vector<std::string> parallelInputs = MixedFolder(dir_ / "parallel");
  std::vector<std::string> serialArgs{"-j", "1", "--to", "avi"};
  serialArgs.insert(serialArgs.end(), serialInputs.begin(), serialInputs.end());
  std::vector<std::string> parallelArgs{"-j", "2", "--to", "avi"};
  parallelArgs.insert(parallelArgs.end(), parallelInputs.begin(), parallelInputs.end());
  const ProcessResult serial = Batch(serialArgs);
  const ProcessResult parallel = Batch(parallelArgs);

  EXPECT_EQ(serial.status, parallel.status);
  EXPECT_EQ(ResultLines(serial.out), ResultLines(parallel.out)) << serial.out << parallel.out;
  EXPECT_NE(std::string::npos, parallel.out.find("Create Failed!")) << parallel.out;
  EXPECT_NE(std::string::npos, parallel.out.find("ch01.mp4 -> ch01.mp4_1_OUTPUT.AVI")) << parallel.out;
  for (const char* output : {"a/ch01.mp4_OUTPUT.AVI", "a/hurt.264_OUTPUT.AVI", "b/ch01.mp4_1_OUTPUT.AVI"}) {
    const MediaSummary one = ProbeMedia(dir_ / "serial" / output);
    const MediaSummary two = ProbeMedia(dir_ / "parallel" / output);
    ASSERT_TRUE(two.opened) << output;
    EXPECT_EQ(one.videoFrames, two.videoFrames) << output;
    EXPECT_EQ(one.audioCodec, two.audioCodec) << output;
  }
  EXPECT_FALSE(fs::exists(dir_ / "parallel" / "a" / "junk.qrl_OUTPUT.AVI"));
}

// Ctrl-C while two files convert stops both as "Hand Stop"; the third never starts.
TEST_F(ParallelBatch, InterruptStopsEveryRunningFile) {
  for (const char* name : {"one.mp4", "two.mp4", "three.mp4"}) Write(dir_ / name, 40);
  ProcessOptions interrupt;  // once the second file's output is being written
  interrupt.interruptWhen = dir_ / "two.mp4_OUTPUT.WMV.part";
  // Soon after: a 40 s recording converts in well under a second on an idle machine.
  interrupt.interruptAfter = 150ms;
  const ProcessResult run =
      Batch({"-j", "2", (dir_ / "one.mp4").string(), (dir_ / "two.mp4").string(),
             (dir_ / "three.mp4").string()},
            interrupt);
  EXPECT_EQ(1, run.status);
  EXPECT_NE(std::string::npos, run.out.find("2 Hand Stop")) << run.out << run.err;
  EXPECT_NE(std::string::npos, run.out.find("1 Not converted")) << run.out;
}

}  // namespace
