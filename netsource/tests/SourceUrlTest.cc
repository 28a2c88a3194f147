// URL selection and field reading at their bounds, and the time-span reading of file names.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include "SourceUrl.h"

namespace netsource {
namespace {

SourceRequest Parse(const std::string& url, HRESULT expected = S_OK) {
  const auto selection = SelectSource(url);
  EXPECT_TRUE(selection) << url;
  SourceRequest request;
  if (selection) {
    EXPECT_EQ(ParseSourceUrl(selection->kind, url, request), expected) << url;
  }
  return request;
}

TEST(SelectSource, PrefixesFoldCaseExceptUpperR) {
  EXPECT_EQ(SelectSource("Real://10.0.0.5/3/8000")->kind, SourceKind::LegacyLive);
  EXPECT_EQ(SelectSource("REAL://10.0.0.5/3/0")->kind, SourceKind::LegacyLive);
  EXPECT_EQ(SelectSource("NtFl://h/1/2/u/p/f")->kind, SourceKind::RecorderPlayback);
  EXPECT_EQ(SelectSource("SVFL://h/x")->kind, SourceKind::ServerRecorded);
  EXPECT_FALSE(SelectSource("SVRT://h/x"));
  EXPECT_FALSE(SelectSource("real://10.0.0.5/3/0"));
  EXPECT_FALSE(SelectSource("NTRT://10.0.0.5/1/8000/u/p"));
  EXPECT_FALSE(SelectSource("ntrt:/"));
  EXPECT_FALSE(SelectSource(""));
  EXPECT_FALSE(SelectSource("rtsp://10.0.0.5/live"));
  EXPECT_EQ(SelectSource("svfl://a")->recorded, 1);
  EXPECT_EQ(SelectSource("ntfl://a")->recorded, 1);
  EXPECT_EQ(SelectSource("ntrt://a")->recorded, 0);
}

TEST(ParseSourceUrl, LegacyReadsHostAndChannelAndIgnoresPort) {
  const SourceRequest request = Parse("Real://10.0.0.5/3/8000");
  EXPECT_EQ(request.host, "10.0.0.5");
  EXPECT_EQ(request.channel, 3);
  EXPECT_EQ(request.port, 0);
  Parse("Real://10.0.0.5/3/123456789");
  Parse("Real://10.0.0.5/3/1234567890", E_FAIL);
}

TEST(ParseSourceUrl, HostAndNumbersAtTheirBounds) {
  const std::string host19(19, 'h');
  EXPECT_EQ(Parse("ntrt://" + host19 + "/1/8000/u/p").host, host19);
  Parse("ntrt://" + std::string(20, 'h') + "/1/8000/u/p", E_FAIL);
  EXPECT_EQ(Parse("ntrt://h/123456789/8000/u/p").channel, 123456789);
  Parse("ntrt://h/1234567890/8000/u/p", E_FAIL);
  Parse("ntrt://h/1/1234567890/u/p", E_FAIL);
  // atoi: leading blanks and sign, digits up to the first other character, else 0.
  const SourceRequest request = Parse("ntrt://h/ -7x/abc/u/p");
  EXPECT_EQ(request.channel, -7);
  EXPECT_EQ(request.port, 0);
}

TEST(ParseSourceUrl, SubStreamField) {
  EXPECT_EQ(Parse("ntrt://h/1/8000/admin/12345").subStream, 0);
  EXPECT_EQ(Parse("ntrt://h/1/8000/admin/12345/1").subStream, 1);
  EXPECT_EQ(Parse("ntrt://h/1/8000/admin/12345/0").subStream, 0);
  EXPECT_EQ(Parse("ntrt://h/1/8000/admin/12345/abc").subStream, 0);
  EXPECT_EQ(Parse("ntrt://h/1/8000/admin/12345/7").subStream, 1);
  Parse("ntrt://h/1/8000/admin/12345/1000", E_FAIL);
  const SourceRequest request = Parse("ntrt://10.0.0.5/2/8000/admin/12345/1");
  EXPECT_EQ(request.port, 8000);
  EXPECT_EQ(request.user, "admin");
  EXPECT_EQ(request.password, "12345");
}

TEST(ParseSourceUrl, SeventeenCharacterUserEatsTheSeparator) {
  // The 17th character stands in for the "/", so the "/" after it ends an empty password.
  const SourceRequest request = Parse("ntfl://h/1/8000/abcdefghijklmnopq/pw/rec.mp4");
  EXPECT_EQ(request.user, "abcdefghijklmnop");
  EXPECT_EQ(request.password, "");
  EXPECT_EQ(request.fileName, "pw/rec.mp4");
  const SourceRequest longPassword = Parse("ntfl://h/1/8000/u/0123456789abcdefX/f");
  EXPECT_EQ(longPassword.password, "0123456789abcdef");
  EXPECT_EQ(longPassword.fileName, "/f");
}

TEST(ParseSourceUrl, UrlsCutShortAreRejected) {
  for (const char* url : {"ntrt://10.0.0.5", "ntrt://10.0.0.5/1", "ntrt://10.0.0.5/1/8000",
                          "ntrt://h/1/8000/user", "ntfl://h/1/8000/u/p", "ntfl://h/1/8000/u/p/",
                          "Real://10.0.0.5", "Real://10.0.0.5/3"}) {
    Parse(url, E_FAIL);
  }
}

TEST(ParseSourceUrl, FileNameAndServerUrlLimits) {
  const std::string name259(259, 'f');
  EXPECT_EQ(Parse("ntfl://h/1/8000/u/p/" + name259).fileName, name259);
  Parse("ntfl://h/1/8000/u/p/" + name259 + "f", E_FAIL);

  EXPECT_EQ(Parse("svfl://10.0.0.5/rec/1").serverUrl, "rtsp://10.0.0.5/rec/1");
  EXPECT_EQ(Parse("svfl://10.0.0.5/rec/1").recorded, 1);
  const SourceRequest live = Parse("Svrt://10.0.0.5:554/Live");
  EXPECT_EQ(live.serverUrl, "rtsp://10.0.0.5:554/Live");
  EXPECT_EQ(live.recorded, 0);
  const std::string tail(255 - 7, 'x');  // "rtsp://" + tail is 255 characters
  Parse("svrt://" + tail);
  Parse("svrt://" + tail + "x", E_FAIL);
}

class TimeSpanTest : public ::testing::Test {
 protected:
  // Local calendar arithmetic depends on the zone: pin one with a daylight-saving change.
  void SetUp() override {
    if (const char* zone = getenv("TZ")) previous_ = zone;
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
  }
  void TearDown() override {
    if (previous_.empty()) unsetenv("TZ");
    else setenv("TZ", previous_.c_str(), 1);
    tzset();
  }
  std::string previous_;
};

TEST_F(TimeSpanTest, WithAndWithoutSeparator) {
  const TimeSpan span = ParseTimeSpan("20080801120000_20080801123000");
  EXPECT_EQ(span.start, (DeviceTime{2008, 8, 1, 12, 0, 0}));
  EXPECT_EQ(span.stop, (DeviceTime{2008, 8, 1, 12, 30, 0}));
  const TimeSpan joined = ParseTimeSpan("2008080112000020080801123000");
  EXPECT_EQ(joined.start, span.start);
  EXPECT_EQ(joined.stop, span.stop);
  EXPECT_EQ(SpanSeconds(span), 1800);
}

TEST_F(TimeSpanTest, AcrossMidnightAndDaylightSaving) {
  const TimeSpan midnight = ParseTimeSpan("20080801235900_20080802000100");
  EXPECT_EQ(midnight.start, (DeviceTime{2008, 8, 1, 23, 59, 0}));
  EXPECT_EQ(midnight.stop, (DeviceTime{2008, 8, 2, 0, 1, 0}));
  EXPECT_EQ(SpanSeconds(midnight), 120);
  // Clocks went forward at 02:00 on 2008-03-30: an hour of wall time is not there.
  EXPECT_EQ(SpanSeconds(ParseTimeSpan("20080330013000_20080330033000")), 3600);
}

TEST_F(TimeSpanTest, ShortTextAndBackwardSpans) {
  const TimeSpan shortSpan = ParseTimeSpan("2008");
  EXPECT_EQ(shortSpan.start.year, 2008u);
  EXPECT_EQ(shortSpan.start.month, 0u);
  EXPECT_EQ(shortSpan.stop, DeviceTime{});
  EXPECT_LT(SpanSeconds(ParseTimeSpan("20080801123000_20080801120000")), 0);
  EXPECT_EQ(SpanSeconds(ParseTimeSpan("20080801120000_20080801120000")), 0);
}

}  // namespace
}  // namespace netsource
