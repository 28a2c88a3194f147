#include "RtspParser.h"

#include <string>
#include <vector>

#include "Decimal.h"
#include "RtspRange.h"
#include "RtspTables.h"
#include "RtspTokenizer.h"

namespace streamclient {

namespace {
constexpr std::string_view kVersionPrefix = "RTSP/";
constexpr std::string_view kWholeTextHeaders[] = {"WWW-Authenticate", "Authenticate",
                                                  "Authorization", "Location", "Content-base"};

struct HeaderBlock {
  std::vector<Token> lines;
  size_t length = 0;  // bytes up to and including the empty line
  bool complete = false;
};

size_t SkipLeadingSpace(std::string_view data) {
  size_t pos = 0;
  while (pos < data.size() && std::string_view(" \t\r\n").find(data[pos]) != std::string_view::npos) {
    ++pos;
  }
  return pos;
}

HeaderBlock SplitLines(std::string_view data) {
  HeaderBlock block;
  Tokenizer tokenizer(data);
  while (!tokenizer.AtEnd()) {
    Token line = tokenizer.Next("\n");
    if (line.Empty()) {
      if (line.terminator == kLineEnd && !block.lines.empty()) {
        block.length = tokenizer.Position();
        block.complete = true;
        return block;
      }
      continue;
    }
    block.lines.push_back(std::move(line));
  }
  return block;
}

void ParseVersion(std::string_view word, RtspMessage& message) {
  message.major = 0;
  message.minor = 0;
  if (word.substr(0, kVersionPrefix.size()) != kVersionPrefix) return;
  const std::string_view numbers = word.substr(kVersionPrefix.size());
  const size_t dot = numbers.find('.');
  if (dot == std::string_view::npos) return;
  message.major = LeadingInt(numbers.substr(0, dot));
  message.minor = LeadingInt(numbers.substr(dot + 1));
}

bool ParseStartLine(std::string_view line, RtspMessage& message) {
  Tokenizer tokenizer(line);
  if (line.substr(0, kVersionPrefix.size()) == kVersionPrefix) {
    ParseVersion(tokenizer.NextWord().Text(), message);
    message.status = StatusIndex(tokenizer.NextWord().Text());
    message.method = kMethodResponse;
    return true;
  }
  message.method = MethodIndex(tokenizer.NextWord().Text());
  message.requestUri = std::string(tokenizer.Next(" ").Text());
  const Token version = tokenizer.NextWord();
  if (version.Empty()) return false;
  ParseVersion(version.Text(), message);
  return true;
}

// Splits at commas that are not inside double quotes.
std::vector<std::string_view> SplitValues(std::string_view text) {
  std::vector<std::string_view> values;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') quoted = !quoted;
    if (text[i] == ',' && !quoted) {
      values.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  values.push_back(text.substr(start));
  return values;
}

HeaderValue ParseParams(std::string_view text) {
  HeaderValue value;
  Tokenizer tokenizer(text);
  for (;;) {
    const Token name = tokenizer.Next(";=");
    if (name.Empty()) return value;
    HeaderParam param{std::string(name.Text()), {}};
    if (name.terminator == '=') param.value = std::string(tokenizer.Next(";").Text());
    value.params.push_back(std::move(param));
  }
}

bool PrecededByComma(std::string_view text, size_t pos) {
  while (pos > 0 && (text[pos - 1] == ' ' || text[pos - 1] == '\t')) --pos;
  return pos > 0 && text[pos - 1] == ',';
}

// RTP-Info entries are only counted: one empty value per entry that names seq or rtptime.
void ParseRtpInfo(std::string_view text, RtspHeader& header) {
  std::vector<size_t> starts = {0};
  for (size_t pos = text.find("url="); pos != std::string_view::npos;
       pos = text.find("url=", pos + 1)) {
    if (PrecededByComma(text, pos)) starts.push_back(pos);
  }
  starts.push_back(text.size());
  for (size_t i = 0; i + 1 < starts.size(); ++i) {
    const std::string_view entry = text.substr(starts[i], starts[i + 1] - starts[i]);
    if (entry.find(";seq=") != std::string_view::npos ||
        entry.find(";rtptime=") != std::string_view::npos) {
      header.values.emplace_back(HeaderValue{});
    }
  }
}

bool IsWholeTextHeader(std::string_view name) {
  for (std::string_view whole : kWholeTextHeaders) {
    if (name == whole) return true;
  }
  return false;
}

void ParseHeaderLine(std::string_view line, RtspMessage& message) {
  Tokenizer tokenizer(line);
  const Token name = tokenizer.Next(":");
  if (name.Empty()) return;
  const std::string_view text = tokenizer.Next("\n").Text();
  RtspHeader header{std::string(name.Text()), {}};
  if (header.name == "Range") {
    if (auto range = ParseRange(text)) header.values.emplace_back(std::move(*range));
  } else if (IsWholeTextHeader(header.name)) {
    header.values.emplace_back(HeaderValue{{{std::string(text), {}}}});
  } else if (header.name == "RTP-Info") {
    ParseRtpInfo(text, header);
  } else {
    for (std::string_view value : SplitValues(text)) header.values.emplace_back(ParseParams(value));
  }
  message.headers.push_back(std::move(header));
}
}  // namespace

std::optional<RtspMessage> ParseRtspMessage(std::string_view data, size_t& used) {
  used = 0;
  const size_t skipped = SkipLeadingSpace(data);
  const HeaderBlock block = SplitLines(data.substr(skipped));
  // Without the empty line the header block is still arriving; a message cut short here
  // would lose its remaining headers and its body.
  if (block.lines.empty() || !block.complete) return std::nullopt;

  RtspMessage message;
  if (!ParseStartLine(block.lines.front().Text(), message)) return std::nullopt;
  for (size_t i = 1; i < block.lines.size(); ++i) ParseHeaderLine(block.lines[i].Text(), message);
  message.IntegerValue("CSeq", message.cseq);

  const size_t headerLength = skipped + block.length;
  std::string lengthText;
  if (!message.TextValue("Content-Length", lengthText)) {
    used = headerLength;
    return message;
  }
  const int64_t bodyLength = LeadingNumber(lengthText);
  if (bodyLength < 0 || bodyLength > static_cast<int64_t>(kMaxContentLength)) return std::nullopt;
  if (static_cast<size_t>(bodyLength) > data.size() - headerLength) return std::nullopt;
  message.body = std::string(data.substr(headerLength, bodyLength));
  used = headerLength + bodyLength;
  return message;
}

}  // namespace streamclient
