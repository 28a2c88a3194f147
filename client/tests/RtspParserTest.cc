// Parser and builder: answers as the stream servers send them, the line-end and folding
// variants seen in the field, and the length rules that keep reads inside the buffer.
#include <gtest/gtest.h>

#include <string>

#include "RtspParser.h"
#include "RtspRange.h"
#include "RtspTables.h"
#include "RtspTokenizer.h"

namespace streamclient {
namespace {

std::optional<RtspMessage> Parse(const std::string& text, size_t* usedOut = nullptr) {
  size_t used = 12345;
  auto message = ParseRtspMessage(text, used);
  if (usedOut) *usedOut = used;
  if (!message) {
    EXPECT_EQ(used, 0u);
  }
  return message;
}

std::string Header(const RtspMessage& message, const char* name) {
  std::string text;
  return message.TextValue(name, text) ? text : "<none>";
}

const std::string kOkAnswer = "RTSP/1.0 200 OK\r\nCSeq: 3\r\nSession: 1234;timeout=60\r\n\r\n";

TEST(RtspParser, SetupAnswerFields) {
  size_t used = 0;
  auto message = Parse(kOkAnswer, &used);
  ASSERT_TRUE(message);
  EXPECT_EQ(message->method, kMethodResponse);
  EXPECT_EQ(message->status, kStatusOk);
  EXPECT_EQ(message->cseq, 3);
  EXPECT_EQ(message->major, 1);
  EXPECT_EQ(message->minor, 0);
  EXPECT_EQ(Header(*message, "Session"), "1234;timeout=60");
  EXPECT_EQ(used, kOkAnswer.size());
  EXPECT_TRUE(message->body.empty());
}

TEST(RtspParser, LineEndVariantsParseAlike) {
  for (const char* end : {"\n", "\n\r", "\r"}) {
    std::string text = kOkAnswer;
    for (size_t pos = text.find("\r\n"); pos != std::string::npos; pos = text.find("\r\n", pos)) {
      text.replace(pos, 2, end);
      pos += std::string(end).size();
    }
    size_t used = 0;
    auto message = Parse(text, &used);
    ASSERT_TRUE(message) << "line end " << int(end[0]);
    EXPECT_EQ(message->cseq, 3);
    EXPECT_EQ(Header(*message, "Session"), "1234;timeout=60");
    EXPECT_EQ(used, text.size());
  }
}

TEST(RtspParser, FoldedLineIsOneHeader) {
  auto message = Parse("RTSP/1.0 200 OK\r\nSession: 1234;\r\n  timeout=60\r\nCSeq: 4\r\n\r\n");
  ASSERT_TRUE(message);
  ASSERT_EQ(message->headers.size(), 2u);
  EXPECT_EQ(Header(*message, "Session"), "1234;timeout=60");
  EXPECT_EQ(message->cseq, 4);
}

TEST(RtspParser, BodyNeedsAllContentLengthBytes) {
  const std::string head = "RTSP/1.0 200 OK\r\nCSeq: 1\r\nContent-Length: 40\r\n\r\n";
  EXPECT_FALSE(Parse(head + std::string(20, 'x')));
  size_t used = 0;
  auto message = Parse(head + std::string(40, 'x') + "trailing", &used);
  ASSERT_TRUE(message);
  EXPECT_EQ(message->body, std::string(40, 'x'));
  EXPECT_EQ(used, head.size() + 40);
}

TEST(RtspParser, RefusesBadContentLengths) {
  EXPECT_FALSE(Parse("RTSP/1.0 200 OK\r\nContent-Length: -5\r\n\r\nabcdef"));
  EXPECT_FALSE(Parse("RTSP/1.0 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\nab"));
  EXPECT_FALSE(Parse("RTSP/1.0 200 OK\r\nContent-Length: 2000000\r\n\r\n" + std::string(4096, 'b')));
}

TEST(RtspParser, IncompleteHeaderBlockIsNotAMessage) {
  // A body can only be found after the empty line; the first half of an answer is no answer.
  EXPECT_FALSE(Parse("RTSP/1.0 200 OK\r\nCSeq: 1\r\nContent-Length: 5\r\n"));
  EXPECT_FALSE(Parse("RTSP/1.0 200 OK\r\nCSeq: 1"));
  EXPECT_FALSE(Parse("\r\n \r\n"));
  EXPECT_FALSE(Parse(""));
}

TEST(RtspParser, StatusCodesOutsideTheTable) {
  auto unknown = Parse("RTSP/1.0 299 Whatever\r\n\r\n");
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->status, -1);
  auto refused = Parse("RTSP/1.0 454 Session Not Found\r\nCSeq: 2\r\n\r\n");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 29);
  EXPECT_EQ(StatusCode(44), "551");
  EXPECT_EQ(StatusIndex("302"), 6);
}

TEST(RtspParser, VersionForms) {
  auto noDot = Parse("RTSP/1 200 OK\r\n\r\n");
  ASSERT_TRUE(noDot);
  EXPECT_EQ(noDot->major, 0);
  EXPECT_EQ(noDot->minor, 0);
  EXPECT_EQ(noDot->status, kStatusOk);
  auto request = Parse("PLAY rtsp://10.0.0.1/av_stream RTSP/1.0\r\nCSeq: 9\r\n\r\n");
  ASSERT_TRUE(request);
  EXPECT_EQ(request->method, kMethodPlay);
  EXPECT_EQ(request->requestUri, "rtsp://10.0.0.1/av_stream");
  EXPECT_EQ(request->cseq, 9);
  auto odd = Parse("FETCH /x RTSP/2.1\r\n\r\n");
  ASSERT_TRUE(odd);
  EXPECT_EQ(odd->method, -1);
  EXPECT_EQ(odd->major, 2);
  EXPECT_EQ(odd->minor, 1);
  EXPECT_FALSE(Parse("PLAY rtsp://10.0.0.1/av_stream\r\nCSeq: 9\r\n\r\n"));
}

TEST(RtspParser, TransportParameters) {
  auto message = Parse(
      "RTSP/1.0 200 OK\r\nTransport: RTP/AVP/TCP;unicast;client_port=10000-10001;"
      "server_port=8000-8001\r\n\r\n");
  ASSERT_TRUE(message);
  const RtspHeader* transport = message->FindHeader("Transport");
  ASSERT_TRUE(transport);
  ASSERT_EQ(transport->values.size(), 1u);
  const auto& value = std::get<HeaderValue>(transport->values[0]);
  ASSERT_EQ(value.params.size(), 4u);
  EXPECT_EQ(value.params[0].Text(), "RTP/AVP/TCP");
  EXPECT_EQ(value.params[1].Text(), "unicast");
  ASSERT_TRUE(value.Find("server_port"));
  EXPECT_EQ(value.Find("server_port")->value, "8000-8001");
}

TEST(RtspParser, ValueListsAndQuotes) {
  auto message = Parse(
      "RTSP/1.0 401 Unauthorized\r\n"
      "WWW-Authenticate: Digest realm=\"a, b\", nonce=\"42\"\r\n"
      "Public: OPTIONS, PLAY,PAUSE\r\n"
      "Content-Type: text/plain; charset=\"x,y\"\r\n"
      "NoColonLine\r\n"
      ": no name\r\n\r\n");
  ASSERT_TRUE(message);
  EXPECT_EQ(Header(*message, "WWW-Authenticate"), "Digest realm=\"a, b\", nonce=\"42\"");
  ASSERT_TRUE(message->FindHeader("Public"));
  EXPECT_EQ(message->FindHeader("Public")->Text(), "OPTIONS,PLAY,PAUSE");
  EXPECT_EQ(message->FindHeader("Content-Type")->values.size(), 1u);
  ASSERT_TRUE(message->FindHeader("NoColonLine"));
  EXPECT_EQ(message->FindHeader("NoColonLine")->values.size(), 1u);
  EXPECT_EQ(message->headers.size(), 4u);  // the nameless line is dropped
}

TEST(RtspParser, RtpInfoEntries) {
  auto message = Parse(
      "RTSP/1.0 200 OK\r\nRTP-Info: url=rtsp://h/a;seq=1;rtptime=5, url=rtsp://h/b;seq=9,"
      "url=rtsp://h/c\r\n\r\n");
  ASSERT_TRUE(message);
  EXPECT_EQ(message->FindHeader("RTP-Info")->values.size(), 2u);
}

TEST(RtspRange, NptForms) {
  auto open = ParseRange("npt=0-");
  ASSERT_TRUE(open);
  EXPECT_EQ(open->kind, RangeKind::kNpt);
  EXPECT_EQ(open->startMs, 0);
  EXPECT_EQ(open->endMs, kNoRangeEnd);
  EXPECT_EQ(open->Text(), "npt=0-");
  auto full = ParseRange("npt=1:02:03.25-1:0:0:1");
  ASSERT_TRUE(full);
  EXPECT_EQ(full->startMs, 3723250);
  EXPECT_EQ(full->endMs, 86401000);
  EXPECT_EQ(full->text, "3723.250000-86401");
  EXPECT_EQ(ParseRange("npt=-20")->text, "-20");
  EXPECT_EQ(ParseRange("npt=1:2:3:4:5-")->startMs, 0);
  EXPECT_EQ(ParseRange("np=7-")->startMs, 7000);  // a unit prefix matches
  EXPECT_FALSE(ParseRange("clock=19961108T143720.25Z-"));
  // Huge fields saturate instead of overflowing.
  EXPECT_EQ(ParseRange("npt=999999999999999999999:99-")->startMs, 60000000099000);
}

TEST(RtspRange, SmpteForms) {
  auto range = ParseRange("smpte=10:07:33.15-10:07:34");
  ASSERT_TRUE(range);
  EXPECT_EQ(range->kind, RangeKind::kSmpte);
  EXPECT_EQ(range->startMs, 36453000 + 501);  // 15 frames of 33.367 ms
  EXPECT_EQ(range->endMs, 36454000);
  EXPECT_EQ(range->Text(), "smpte=10:07:33.15-10:07:34");
  EXPECT_EQ(SmpteTime::Parse("00:00:01.45").totalMs, 1000);  // 30 frames or more add nothing
}

TEST(RtspTokenizer, WordsAndQuotes) {
  Tokenizer tokenizer("  SETUP \"a \\\" b\"; next-x\r\nrest");
  Token word = tokenizer.NextWord();
  EXPECT_EQ(word.Text(), "SETUP");
  EXPECT_EQ(word.terminator, ' ');
  Token quoted = tokenizer.NextWord();
  EXPECT_EQ(quoted.Text(), "a \\\" b");
  EXPECT_EQ(quoted.terminator, ';');
  EXPECT_EQ(tokenizer.NextWord().Text(), "");  // the ';' itself ends an empty word
}

TEST(RtspBuilder, RequestAndResponse) {
  RtspMessage message;
  message.method = kMethodOptions;
  message.requestUri = "rtsp://1.2.3.4/av_stream";
  message.AddHeader("CSeq", 7);
  message.AddHeader("command", 4294967295ul);
  char buffer[256] = {};
  const int length = BuildRequest(message, buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer, length),
            "OPTIONS rtsp://1.2.3.4/av_stream RTSP/1.0\r\nCSeq: 7\r\ncommand: 4294967295\r\n\r\n");
  EXPECT_EQ(BuildRequest(message, buffer, 20), -1);

  RtspMessage answer;
  answer.status = 29;
  answer.AddHeader("CSeq", -2);
  answer.body = "xyz";
  char out[128] = {};
  const int answerLength = BuildResponse(answer, out, sizeof out);
  EXPECT_EQ(std::string(out, answerLength),
            "RTSP/1.0 454 Session Not Found\r\nCSeq: -2\r\n\r\nxyz");
}

}  // namespace
}  // namespace streamclient
