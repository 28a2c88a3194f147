#include <gtest/gtest.h>

#include "JobList.h"
#include "OutputNaming.h"
#include "SourceFiles.h"

using namespace recast;

TEST(JobList, PositionsAreOneBasedAndLookupsMatchPathEndings) {
  JobList list;
  EXPECT_EQ(list.At(1), nullptr);
  list.Append({"/mnt/a/x.mp4", 352, 288, 100, 25});
  list.Append({"/a/x.mp4", 704, 576, 200, 12});
  list.Append({"/b/y.264", 176, 120, 300, 30});
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.At(0), nullptr);
  EXPECT_EQ(list.At(4), nullptr);
  EXPECT_EQ(list.At(3)->sourcePath, "/b/y.264");

  // By ending: the first record whose path ends with the text.
  EXPECT_EQ(list.FindBySuffix("x.mp4")->fileSize, 100u);
  EXPECT_EQ(list.FindBySuffix("/a/x.mp4")->fileSize, 100u);
  EXPECT_EQ(list.FindBySuffix("X.MP4"), nullptr);  // case-sensitive
  // A full path finds its own record even when an earlier path ends with it.
  EXPECT_EQ(list.Find("/a/x.mp4")->fileSize, 200u);
  EXPECT_EQ(list.Find("y.264")->fileSize, 300u);

  EXPECT_TRUE(list.Remove("/a/x.mp4"));
  EXPECT_FALSE(list.Remove("/a/x.mp4"));
  EXPECT_EQ(list.At(2)->sourcePath, "/b/y.264");
}

TEST(OutputNaming, SameNamesGetRunningNumbers) {
  EXPECT_EQ(FileNameOf("/rec/ch01.mp4"), "ch01.mp4");
  EXPECT_EQ(FileNameOf("ch01.mp4"), "ch01.mp4");
  EXPECT_EQ(FileNameOf("/rec/"), "");

  std::vector<std::string> names;
  auto add = [&](const std::string& path, OutputKind kind) {
    std::string out = OutputPathFor(path, names, kind);
    names.push_back(FileNameOf(path));
    return out;
  };
  EXPECT_EQ(add("/rec/ch01.mp4", OutputKind::Avi), "/rec/ch01.mp4_OUTPUT.AVI");
  EXPECT_EQ(add("/other/ch01.mp4", OutputKind::Avi), "/other/ch01.mp4_1_OUTPUT.AVI");
  EXPECT_EQ(add("/third/ch01.mp4", OutputKind::Wmv), "/third/ch01.mp4_2_OUTPUT.WMV");
  EXPECT_EQ(add("/rec/ch02.mp4", OutputKind::Wmv), "/rec/ch02.mp4_OUTPUT.WMV");
  // Names are compared whole: "h01.mp4" is not "ch01.mp4".
  EXPECT_EQ(add("/rec/h01.mp4", OutputKind::Wmv), "/rec/h01.mp4_OUTPUT.WMV");
}

TEST(SourceFiles, EndingsAreCaseSensitive) {
  EXPECT_EQ(SourceKindOf("/a/b.264"), SourceKind::H264);
  EXPECT_EQ(SourceKindOf("/a/b.mp4"), SourceKind::Mp4);
  EXPECT_EQ(SourceKindOf("/a/b.qrl"), SourceKind::Mp4);
  EXPECT_FALSE(SourceKindOf("/a/b.MP4"));
  EXPECT_FALSE(SourceKindOf("/a/b.mp4.avi"));
  EXPECT_EQ(SourceKindText(SourceKind::H264), "264 file");
  EXPECT_EQ(SourceKindText(SourceKind::Mp4), "mp4 file");
}
