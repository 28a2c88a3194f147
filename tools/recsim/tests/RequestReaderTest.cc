#include "RequestReader.h"

#include <gtest/gtest.h>

#include <random>

#include "FaultPlan.h"

using namespace recsim;

namespace {

const std::string kSetup =
    "SETUP rtsp://127.0.0.1:554/rec/file01 RTSP/1.0\r\n"
    "CSeq: 1\r\n"
    "Transport: RTP/AVP/UDP;unicast;client_port=10000-10001\r\n"
    "User-agent: Qrlplayer\r\n\r\n";

TEST(RequestReaderTest, ReadsTheClientsRequestsWhateverTheLineEnds) {
  for (const char* eol : {"\r\n", "\n"}) {
    std::string text;
    for (const char* line : {"SETUP rtsp://127.0.0.1:554/rec/file01 RTSP/1.0", "CSeq: 1",
                             "Transport: RTP/AVP/UDP;unicast;client_port=10000-10001",
                             "User-agent: Qrlplayer", ""})
      text += std::string(line) + eol;
    const ReadResult result = ReadRequest(text);
    ASSERT_EQ(result.status, ReadStatus::Complete) << result.error;
    EXPECT_EQ(result.consumed, text.size());
    EXPECT_EQ(result.request.method, "SETUP");
    EXPECT_EQ(result.request.uri, "rtsp://127.0.0.1:554/rec/file01");
    EXPECT_EQ(result.request.NumberHeader("cseq"), 1);
    EXPECT_EQ(result.request.Header("Transport"),
              "RTP/AVP/UDP;unicast;client_port=10000-10001");
  }
}

TEST(RequestReaderTest, WaitsForWholeRequestsAndBodies) {
  for (size_t cut = 0; cut < kSetup.size(); ++cut)
    EXPECT_EQ(ReadRequest(kSetup.substr(0, cut)).status, ReadStatus::NeedMore) << cut;

  const std::string withBody = "ANNOUNCE x RTSP/1.0\r\nCSeq: 2\r\nContent-Length: 5\r\n\r\nab";
  EXPECT_EQ(ReadRequest(withBody).status, ReadStatus::NeedMore);
  const ReadResult whole = ReadRequest(withBody + "cdeOPTIONS");
  ASSERT_EQ(whole.status, ReadStatus::Complete);
  EXPECT_EQ(whole.request.body, "abcde");
  EXPECT_EQ(whole.consumed, withBody.size() + 3);
}

TEST(RequestReaderTest, ReadsPipelinedAndFoldedRequests) {
  const std::string text =
      "\r\nPTZ_GO x RTSP/1.0\r\nCSeq: 3\r\nNote: one\r\n  two\r\n\r\n" + kSetup;
  const ReadResult first = ReadRequest(text);
  ASSERT_EQ(first.status, ReadStatus::Complete);
  EXPECT_EQ(first.request.method, "PTZ_GO");
  EXPECT_EQ(first.request.Header("Note"), "one two");
  const ReadResult second = ReadRequest(std::string_view(text).substr(first.consumed));
  ASSERT_EQ(second.status, ReadStatus::Complete);
  EXPECT_EQ(second.request.method, "SETUP");
}

TEST(RequestReaderTest, ReportsMalformedRequestsWithTheirExtent) {
  const char* bad[] = {
      "SETUP rtsp://x\r\nCSeq: 4\r\n\r\n",                     // no version
      "SETUP rtsp://x HTTP/1.1\r\nCSeq: 4\r\n\r\n",            // not RTSP
      "setup rtsp://x RTSP/1.0\r\nCSeq: 4\r\n\r\n",            // method not a token
      "PLAY rtsp://x RTSP/1.0\r\nCSeq: 4\r\nno colon here\r\n\r\n",
      "PLAY rtsp://x RTSP/1.0\r\nCSeq: 4\r\nContent-Length: -3\r\n\r\n",
      "PLAY rtsp://x RTSP/1.0\r\nCSeq: 4\r\nContent-Length: lots\r\n\r\n",
      "PLAY rtsp://x RTSP/1.\r\nCSeq: 4\r\n\r\n",
  };
  for (const std::string text : bad) {
    const ReadResult result = ReadRequest(text + "OPTIONS");
    EXPECT_EQ(result.status, ReadStatus::Malformed) << text;
    EXPECT_EQ(result.consumed, text.size()) << text;
    EXPECT_FALSE(result.error.empty());
  }
  // What could be read is kept, so the error answer carries the CSeq.
  EXPECT_EQ(ReadRequest(bad[0]).request.NumberHeader("CSeq"), 4);
}

TEST(RequestReaderTest, RefusesOversizedHeadersAndBodies) {
  const ReaderLimits limits{256, 64};
  EXPECT_EQ(ReadRequest(std::string(300, 'A'), limits).status, ReadStatus::TooLarge);
  EXPECT_EQ(ReadRequest("PLAY x RTSP/1.0\r\nContent-Length: 99999999999999999999\r\n\r\n",
                        limits)
                .status,
            ReadStatus::Malformed);
  EXPECT_EQ(ReadRequest("PLAY x RTSP/1.0\r\nContent-Length: 65\r\n\r\n", limits).status,
            ReadStatus::TooLarge);
}

TEST(RequestReaderTest, NoiseNeverReadsOutOfBounds) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::string text = kSetup;
    for (int n = 0; n < 4; ++n)
      text[random() % text.size()] = static_cast<char>(random() % 256);
    text.resize(random() % (text.size() + 1));
    const ReadResult result = ReadRequest(text);
    EXPECT_LE(result.consumed, text.size());
  }
}

TEST(FaultPlanTest, ParsesRulesAndFallsBackToTheWildcard) {
  FaultPlan plan;
  std::string error;
  ASSERT_TRUE(plan.AddRule("SETUP:status=454", error));
  ASSERT_TRUE(plan.AddRule("ANNOUNCE:silent=2", error));
  ASSERT_TRUE(plan.AddRule("*:delay=30", error));
  EXPECT_EQ(plan.For("SETUP")->status, 454);
  EXPECT_EQ(plan.For("ANNOUNCE")->answerLimit, 2);
  EXPECT_EQ(plan.For("PLAY")->delay.count(), 30);
  EXPECT_FALSE(plan.AddRule("SETUP", error));
  EXPECT_FALSE(plan.AddRule("SETUP:status=42", error));
  EXPECT_FALSE(plan.AddRule("SETUP:explode", error));
  EXPECT_FALSE(plan.AddRule("SETUP:delay=soon", error));
}

}  // namespace
