#include "RequestReader.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace recsim {
namespace {

constexpr std::string_view kVersionPrefix = "RTSP/";

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool IsMethodToken(std::string_view token) {
  return !token.empty() && std::all_of(token.begin(), token.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || c == '_';
  });
}

// The end of the header block: the offset just past the empty line, or npos.
size_t HeaderEnd(std::string_view buffer) {
  size_t lineStart = 0;
  while (lineStart < buffer.size()) {
    const size_t newline = buffer.find('\n', lineStart);
    if (newline == std::string_view::npos) return std::string_view::npos;
    const std::string_view line = buffer.substr(lineStart, newline - lineStart);
    if (line.empty() || line == "\r") return newline + 1;
    lineStart = newline + 1;
  }
  return std::string_view::npos;
}

std::vector<std::string_view> Lines(std::string_view block) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < block.size()) {
    size_t newline = block.find('\n', start);
    if (newline == std::string_view::npos) newline = block.size();
    std::string_view line = block.substr(start, newline - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) lines.push_back(line);
    start = newline + 1;
  }
  return lines;
}

bool ParseVersion(std::string_view word, int& major, int& minor) {
  if (word.substr(0, kVersionPrefix.size()) != kVersionPrefix) return false;
  word.remove_prefix(kVersionPrefix.size());
  const size_t dot = word.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 >= word.size()) return false;
  const auto [p1, e1] = std::from_chars(word.data(), word.data() + dot, major);
  const auto [p2, e2] =
      std::from_chars(word.data() + dot + 1, word.data() + word.size(), minor);
  return e1 == std::errc() && e2 == std::errc() && p1 == word.data() + dot &&
         p2 == word.data() + word.size();
}

// Fills method, URI and version; an error text when the line is not a request line.
std::string ParseRequestLine(std::string_view line, RtspRequest& request) {
  const size_t space1 = line.find(' ');
  if (space1 == std::string_view::npos) return "no request URI";
  const size_t space2 = line.find(' ', space1 + 1);
  if (space2 == std::string_view::npos) return "no protocol version";
  request.method = std::string(line.substr(0, space1));
  request.uri = std::string(line.substr(space1 + 1, space2 - space1 - 1));
  if (!IsMethodToken(request.method)) return "bad method";
  if (request.uri.empty()) return "empty request URI";
  if (!ParseVersion(Trim(line.substr(space2 + 1)), request.major, request.minor))
    return "bad protocol version";
  return {};
}

// Header lines, with folded continuation lines joined to the header before them.
std::string ParseHeaders(const std::vector<std::string_view>& lines, RtspRequest& request) {
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (line.front() == ' ' || line.front() == '\t') {
      if (request.headers.empty()) return "continuation without a header";
      request.headers.back().second += ' ';
      request.headers.back().second += Trim(line);
      continue;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return "header line without a name";
    request.headers.emplace_back(std::string(Trim(line.substr(0, colon))),
                                 std::string(Trim(line.substr(colon + 1))));
  }
  return {};
}

}  // namespace

std::optional<long> LeadingNumber(std::string_view text) {
  text = Trim(text);
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  return value;
}

std::optional<std::string> RtspRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (SameName(key, name)) return value;
  return std::nullopt;
}

std::optional<long> RtspRequest::NumberHeader(std::string_view name) const {
  const auto value = Header(name);
  return value ? LeadingNumber(*value) : std::nullopt;
}

ReadResult ReadRequest(std::string_view buffer, const ReaderLimits& limits) {
  ReadResult result;
  size_t skipped = 0;  // empty lines between requests
  while (skipped < buffer.size() && (buffer[skipped] == '\r' || buffer[skipped] == '\n'))
    ++skipped;
  const std::string_view rest = buffer.substr(skipped);
  const size_t headerEnd = HeaderEnd(rest.substr(0, limits.maxHeaderBytes));
  if (headerEnd == std::string_view::npos) {
    result.status = rest.size() >= limits.maxHeaderBytes ? ReadStatus::TooLarge
                                                         : ReadStatus::NeedMore;
    return result;
  }
  const std::vector<std::string_view> lines = Lines(rest.substr(0, headerEnd));
  result.consumed = skipped + headerEnd;
  // Headers are read even after a bad request line, so that an error answer has the CSeq.
  const std::string headerError = ParseHeaders(lines, result.request);
  result.error = lines.empty() ? "empty request" : ParseRequestLine(lines.front(), result.request);
  if (result.error.empty()) result.error = headerError;

  const auto declared = result.request.Header("Content-Length");
  std::optional<long> length = declared ? LeadingNumber(*declared) : 0;
  if (result.error.empty() && (!length || *length < 0)) result.error = "bad Content-Length";
  if (!result.error.empty()) {
    result.status = ReadStatus::Malformed;
    return result;
  }
  const size_t bodyLength = static_cast<size_t>(*length);
  if (bodyLength > limits.maxBodyBytes) {
    result.status = ReadStatus::TooLarge;
    return result;
  }
  if (rest.size() - headerEnd < bodyLength) {
    result.status = ReadStatus::NeedMore;
    result.consumed = 0;
    return result;
  }
  result.request.body = std::string(rest.substr(headerEnd, bodyLength));
  result.consumed += bodyLength;
  result.status = ReadStatus::Complete;
  return result;
}

}  // namespace recsim
