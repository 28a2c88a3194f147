// `recast --batch --report FILE.json` end to end: the digests in the report are those
// sha256sum computes for the files, and the frame and audio counts are those ffprobe finds in
// the outputs and in the recorded elementary streams, for copied and re-encoded outputs, one or
// two files at a time; files that could not be converted are listed without invented figures.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "ConversionFixture.h"
#include "RecastRun.h"
#include "Recording.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kFfprobe = "/usr/bin/ffprobe";
constexpr const char* kSha256sum = "/usr/bin/sha256sum";
constexpr int kFps = 25;
constexpr int kSeconds = 3;

class IntegrityReport : public ConversionFixture {
 protected:
  void SetUp() override {
    ConversionFixture::SetUp();
    fs::create_directory(dir_ / "in");
  }

  recgen::RecordingSummary Write(const std::string& name, recgen::DamageOptions damage = {}) {
    recgen::Options options;
    options.codec = recgen::VideoCodec::H264;
    options.fps = kFps;
    options.frames = kSeconds * kFps;
    options.audioCode = recorder::kAudioG711U;
    options.damage = damage;
    options.output = (dir_ / "in" / name).string();
    options.elementaryDir = (dir_ / "elementary").string();
    return recgen::WriteRecording(options);
  }

  // The report's entries, one per line, in list order.
  std::vector<std::string> RunReport(const std::string& to, const std::string& jobs) {
    const fs::path report = dir_ / "report.json";
    const ProcessResult run = RunProcess({RECAST_BINARY, "--batch", "-j", jobs, "--to", to,
                                          "--report", report.string(), (dir_ / "in").string()},
                                         dir_);
    EXPECT_NE(-1, run.status) << run.err;
    std::ifstream file(report);
    std::vector<std::string> entries;
    for (std::string line; std::getline(file, line);) entries.push_back(line);
    return entries;
  }

};

// The raw value of `key` in a one-line JSON object: a string without its quotes, a number,
// or null.
std::string Field(const std::string& entry, const std::string& key) {
  const std::regex pattern("\"" + key + "\":(\"([^\"]*)\"|[^,}]*)");
  std::smatch match;
  if (!std::regex_search(entry, match, pattern)) return "<missing>";
  return match[2].matched ? match[2].str() : match[1].str();
}

const std::string* EntryFor(const std::vector<std::string>& entries, const std::string& name) {
  for (const std::string& entry : entries) {
    if (Field(entry, "source").ends_with("/" + name)) return &entry;
  }
  return nullptr;
}

std::string Sha256Sum(const fs::path& path) {
  const ProcessResult run = RunProcess({kSha256sum, path.string()}, path.parent_path());
  return run.out.substr(0, run.out.find(' '));
}

// Packets ffprobe reads from the first stream of that kind ("v" or "a").
std::string ProbedPackets(const fs::path& path, const std::string& kind) {
  const ProcessResult run =
      RunProcess({kFfprobe, "-v", "error", "-select_streams", kind + ":0", "-count_packets",
                  "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", path.string()},
                 path.parent_path());
  std::string count = run.out;
  count.erase(count.find_last_not_of(" \n") + 1);
  return count;
}

void ExpectFilesAsReported(const std::string& entry) {
  const fs::path source = Field(entry, "source");
  const fs::path output = Field(entry, "output");
  EXPECT_EQ(Sha256Sum(source), Field(entry, "sourceSha256"));
  EXPECT_EQ(std::to_string(fs::file_size(source)), Field(entry, "sourceSize"));
  EXPECT_EQ(Sha256Sum(output), Field(entry, "outputSha256"));
  EXPECT_EQ(std::to_string(fs::file_size(output)), Field(entry, "outputSize"));
  EXPECT_EQ(ProbedPackets(output, "v"), Field(entry, "framesWritten"));
  EXPECT_EQ(ProbedPackets(output, "a"), Field(entry, "audioBlocksWritten"));
  EXPECT_EQ("Convert Success", Field(entry, "status"));
  EXPECT_GT(std::stod(Field(entry, "elapsedSeconds")), 0.0);
}

TEST_F(IntegrityReport, DigestsAndCountsMatchTheToolsForCopiedAndReencodedOutputs) {
  const recgen::RecordingSummary whole = Write("ch01.264");
  recgen::DamageOptions damage;
  damage.garbageBytes = 300;
  Write("ch02.264", damage);
  std::ofstream(dir_ / "in" / "ch03.qrl") << "not a recording";

  for (const auto& [to, jobs] : {std::pair{"mp4", "1"}, std::pair{"avi", "2"}}) {
    SCOPED_TRACE(std::string("--to ") + to + " -j " + jobs);
    // The last run's outputs would be listed as sources (a folder adds every ".mp4").
    for (const fs::directory_entry& file : fs::directory_iterator(dir_ / "in")) {
      if (file.path().filename().string().find("_OUTPUT.") != std::string::npos)
        fs::remove(file.path());
    }
    const std::vector<std::string> entries = RunReport(to, jobs);
    ASSERT_EQ(3u, entries.size());
    for (const char* name : {"ch01.264", "ch02.264"}) {
      const std::string* entry = EntryFor(entries, name);
      ASSERT_TRUE(entry) << name;
      ExpectFilesAsReported(*entry);
      EXPECT_EQ(std::string(to) == "mp4" ? "true" : "false", Field(*entry, "videoCopied"));
    }
    // Every recorded frame and block was read from the undamaged file.
    const std::string& first = *EntryFor(entries, "ch01.264");
    EXPECT_EQ(ProbedPackets(whole.elementaryFiles.front(), "v"), Field(first, "framesRead"));
    EXPECT_EQ(std::to_string(whole.frames), Field(first, "framesRead"));
    EXPECT_EQ(std::to_string(whole.audioBlocks), Field(first, "audioBlocksRead"));

    const std::string* junk = EntryFor(entries, "ch03.qrl");
    ASSERT_TRUE(junk);
    EXPECT_NE("Convert Success", Field(*junk, "status"));
    for (const char* key : {"sourceSha256", "outputSha256", "framesRead", "framesWritten"})
      EXPECT_EQ("null", Field(*junk, key)) << key;
  }
}

TEST_F(IntegrityReport, ReportThatCannotBeWrittenFailsTheRun) {
  Write("ch01.264");
  const ProcessResult run = RunProcess({RECAST_BINARY, "--batch", "-j", "1", "--to", "mp4",
                                        "--report", (dir_ / "missing" / "report.json").string(),
                                        (dir_ / "in").string()},
                                       dir_);
  EXPECT_EQ(1, run.status);
  EXPECT_NE(std::string::npos, run.err.find("cannot write the report")) << run.err;
}

}  // namespace
