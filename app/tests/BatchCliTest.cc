// The batch command line's options and its terminal view; the conversions themselves are
// tested end to end in tests/e2e.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/BatchOptions.h"
#include "cli/BatchView.h"

namespace recast::cli {
namespace {

TEST(BatchOptions, ReadsKindRateSizeAndInputs) {
  const ParsedBatch parsed = ParseBatchOptions(
      {"--to", "avi", "--avi-bitrate", "1500", "a.mp4", "--size", "640x480", "rec/"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  EXPECT_EQ(OutputKind::Avi, parsed.options->kind);
  EXPECT_EQ(1500u, parsed.options->aviBitRateKbps);
  EXPECT_EQ(640, parsed.options->width);
  EXPECT_EQ(480, parsed.options->height);
  EXPECT_EQ((std::vector<std::string>{"a.mp4", "rec/"}), parsed.options->inputs);

  const ParsedBatch preset = ParseBatchOptions({"--vbr", "100", "--size", ".DCIF", "x.264"});
  ASSERT_TRUE(preset.options) << preset.error;
  EXPECT_EQ(".DCIF", preset.options->preset);
  EXPECT_FALSE(preset.options->width);
  EXPECT_EQ(100u, preset.options->vbrQuality);

  const ParsedBatch report = ParseBatchOptions({"--report", "day.json", "--to", "mp4", "d/"});
  ASSERT_TRUE(report.options) << report.error;
  EXPECT_EQ("day.json", report.options->reportPath);
  EXPECT_TRUE(ParseBatchOptions({"a.mp4"}).options->reportPath.empty());
}

TEST(BatchOptions, RefusesWhatCannotBeMeant) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {},
           {"--cbr"},
           {"--cbr", "0", "a.mp4"},
           {"--cbr", "-5", "a.mp4"},
           {"--vbr", "0", "a.mp4"},
           {"--cbr", "500", "--vbr", "50", "a.mp4"},
           {"--size", "0x288", "a.mp4"},
           {"--size", "352x", "a.mp4"},
           {"--size", "CIF", "a.mp4"},
           {"--avi-bitrate", "99999999999", "a.mp4"},
           {"--report", "", "a.mp4"},
           {"--frobnicate", "a.mp4"}}) {
    const ParsedBatch parsed = ParseBatchOptions(args);
    EXPECT_FALSE(parsed.options) << ::testing::PrintToString(args);
    EXPECT_FALSE(parsed.error.empty());
  }
  EXPECT_TRUE(ParseBatchOptions({"a.mp4", "--help"}).help);
}

TEST(BatchView, OneLinePerFileWithItsFinalStatus) {
  std::ostringstream out, err;
  BatchView view(out, err, false);
  view.InsertRow(0);
  view.SetCellText(0, kColumnSource, "a.mp4");
  view.SetCellText(0, kColumnOutput, "a.mp4_OUTPUT.WMV");
  view.SetCellText(0, kColumnStatus, "211");  // the size in KB, before conversion
  view.SetCellText(0, kColumnStatus, "Converting");
  view.SetCellText(0, kColumnProgress, "40");
  EXPECT_EQ("", out.str());  // no live line off a terminal
  view.SetCellText(0, kColumnOutput, "");  // a failed row loses its output name
  view.SetCellText(0, kColumnStatus, "Para set error!");
  view.SetCellText(0, kColumnStatus, "Para set error!");  // marked twice, shown once
  view.ShowMessage("Cannot start convert!", "Attention");
  EXPECT_EQ("a.mp4 -> a.mp4_OUTPUT.WMV  [############..................]  40%  00:00  Para set error!\n",
            out.str());
  EXPECT_EQ("Attention: Cannot start convert!\n", err.str());
  EXPECT_EQ("Para set error!", view.Outcomes().at(0).status);
}

TEST(BatchView, LiveLineIsRedrawnInPlace) {
  std::ostringstream out, err;
  BatchView view(out, err, true);
  view.InsertRow(0);
  view.SetCellText(0, kColumnSource, "b.264");
  view.SetCellText(0, kColumnProgress, "50");
  view.SetCellText(0, kColumnProgress, "50");  // unchanged: not drawn again
  view.SetCellText(0, kColumnStatus, "Convert Success");
  const std::string text = out.str();
  EXPECT_EQ(2, std::count(text.begin(), text.end(), '\r'));
  EXPECT_NE(std::string::npos, text.find(" 50%"));
  EXPECT_NE(std::string::npos, text.find("100%  00:00  Convert Success\n"));
}

TEST(BatchView, BarAndElapsedTime) {
  EXPECT_EQ("[..........]", ProgressBar(-3, 10));
  EXPECT_EQ("[#####.....]", ProgressBar(55, 10));
  EXPECT_EQ("[##########]", ProgressBar(250, 10));
  EXPECT_EQ("[]", ProgressBar(50, 0));
  EXPECT_EQ("[]", ProgressBar(50, -4));
  EXPECT_EQ("00:59", ElapsedText(std::chrono::seconds(59)));
  EXPECT_EQ("59:59", ElapsedText(std::chrono::seconds(3599)));
  EXPECT_EQ("1:01:01", ElapsedText(std::chrono::seconds(3661)));
}

}  // namespace
}  // namespace recast::cli
