#include "SourceUrl.h"

#include <cctype>
#include <climits>
#include <ctime>

namespace netsource {
namespace {

struct Scheme {
  const char* prefix;
  SourceKind kind;
  int recorded;
};

// In the order they are compared; the first match wins.
constexpr Scheme kSchemes[] = {
    {"ntrt://", SourceKind::RecorderLive, 0},   {"ntfl://", SourceKind::RecorderPlayback, 1},
    {"svrt://", SourceKind::ServerLive, 0},     {"svfl://", SourceKind::ServerRecorded, 1},
    {"Real://", SourceKind::LegacyLive, 0}};

constexpr size_t kSchemeLetters = 4;  // what "rtsp" replaces in a server URL
constexpr char kServerScheme[] = "rtsp";

// Field bounds: copying stops when this many characters have been read without a stop.
constexpr size_t kHostBound = kMaxHostChars + 1;
constexpr size_t kNumberBound = kMaxNumberChars + 1;

enum class FieldEnd { Separator, EndOfText, Bound };

// Reads characters from `cursor` until a "/" (when `slashStops`), the end of the text or
// `bound` characters; then skips one character, the "/" when the field ended at one.
class FieldReader {
 public:
  explicit FieldReader(std::string_view text) : text_(text) {}

  FieldEnd Read(size_t bound, bool slashStops, std::string& field) {
    field.clear();
    while (cursor_ < text_.size() && field.size() < bound) {
      const char c = text_[cursor_];
      if (slashStops && c == '/') {
        ++cursor_;
        return FieldEnd::Separator;
      }
      field.push_back(c);
      ++cursor_;
    }
    if (field.size() == bound && cursor_ < text_.size()) {
      ++cursor_;  // the character after the bound is taken as the separator
      return FieldEnd::Bound;
    }
    return field.size() == bound ? FieldEnd::Bound : FieldEnd::EndOfText;
  }

  std::string_view Rest() const { return text_.substr(cursor_); }
  bool AtEnd() const { return cursor_ >= text_.size(); }

 private:
  std::string_view text_;
  size_t cursor_ = 0;
};

// host and channel: both must end at their "/" (a URL ending there is cut short).
HRESULT ReadHostAndChannel(FieldReader& reader, SourceRequest& request) {
  std::string field;
  if (reader.Read(kHostBound, true, request.host) != FieldEnd::Separator) return E_FAIL;
  if (reader.Read(kNumberBound, true, field) != FieldEnd::Separator) return E_FAIL;
  request.channel = AtoiField(field);
  return S_OK;
}

HRESULT ReadLegacy(FieldReader& reader, SourceRequest& request) {
  if (FAILED(ReadHostAndChannel(reader, request))) return E_FAIL;
  std::string ignoredPort;
  return reader.Read(kNumberBound, false, ignoredPort) == FieldEnd::Bound ? E_FAIL : S_OK;
}

// host, channel, port, user, password; *passwordEnd tells how the password ended.
HRESULT ReadRecorderFields(FieldReader& reader, SourceRequest& request, FieldEnd* passwordEnd) {
  if (FAILED(ReadHostAndChannel(reader, request))) return E_FAIL;
  std::string field;
  if (reader.Read(kNumberBound, true, field) != FieldEnd::Separator) return E_FAIL;
  request.port = AtoiField(field);
  if (reader.Read(kMaxUserChars, true, request.user) == FieldEnd::EndOfText) return E_FAIL;
  *passwordEnd = reader.Read(kMaxPasswordChars, true, request.password);
  return S_OK;
}

HRESULT ReadRecorderLive(FieldReader& reader, SourceRequest& request) {
  FieldEnd passwordEnd;
  if (FAILED(ReadRecorderFields(reader, request, &passwordEnd))) return E_FAIL;
  request.subStream = 0;
  if (passwordEnd == FieldEnd::EndOfText) return S_OK;
  const std::string_view sub = reader.Rest();
  if (sub.size() > kMaxSubStreamChars) return E_FAIL;
  request.subStream = AtoiField(sub) != 0 ? 1 : 0;
  return S_OK;
}

HRESULT ReadRecorderPlayback(FieldReader& reader, SourceRequest& request) {
  FieldEnd passwordEnd;
  if (FAILED(ReadRecorderFields(reader, request, &passwordEnd))) return E_FAIL;
  const std::string_view name = reader.Rest();
  if (passwordEnd == FieldEnd::EndOfText || name.empty() || name.size() > kMaxFileNameChars)
    return E_FAIL;
  request.fileName = name;
  return S_OK;
}

HRESULT ReadServer(std::string_view url, SourceRequest& request) {
  std::string rewritten = kServerScheme;
  rewritten += url.substr(kSchemeLetters);
  if (rewritten.size() > kMaxServerUrlChars) return E_FAIL;
  request.serverUrl = std::move(rewritten);
  return S_OK;
}

// Up to `count` characters from `cursor`, as atoi reads them.
uint32_t TakeNumber(std::string_view text, size_t& cursor, size_t count) {
  const std::string_view digits = text.substr(cursor, count);
  cursor += digits.size();
  return static_cast<uint32_t>(AtoiField(digits));
}

DeviceTime ReadDeviceTime(std::string_view text, size_t& cursor) {
  DeviceTime time;
  time.year = TakeNumber(text, cursor, 4);
  time.month = TakeNumber(text, cursor, 2);
  time.day = TakeNumber(text, cursor, 2);
  time.hour = TakeNumber(text, cursor, 2);
  time.minute = TakeNumber(text, cursor, 2);
  time.second = TakeNumber(text, cursor, 2);
  return time;
}

time_t LocalTime(const DeviceTime& time) {
  std::tm fields{};
  fields.tm_year = static_cast<int>(time.year) - 1900;
  fields.tm_mon = static_cast<int>(time.month) - 1;
  fields.tm_mday = static_cast<int>(time.day);
  fields.tm_hour = static_cast<int>(time.hour);
  fields.tm_min = static_cast<int>(time.minute);
  fields.tm_sec = static_cast<int>(time.second);
  fields.tm_isdst = -1;  // as the calendar has it on that day
  return std::mktime(&fields);
}

}  // namespace

int32_t AtoiField(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT64_C(1) << 40) break;  // far beyond 32 bits; wraps as atoi's result would
  }
  return static_cast<int32_t>(negative ? -value : value);
}

std::optional<SourceSelection> SelectSource(std::string_view url) {
  std::string prefix(url.substr(0, kPrefixChars));
  for (char& c : prefix) {
    if (c >= 'A' && c <= 'Z' && c != 'R') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const Scheme& scheme : kSchemes) {
    if (prefix == scheme.prefix) return SourceSelection{scheme.kind, scheme.recorded};
  }
  return std::nullopt;
}

HRESULT ParseSourceUrl(SourceKind kind, std::string_view url, SourceRequest& request) {
  request = SourceRequest{};
  request.kind = kind;
  if (url.size() < kPrefixChars) return E_FAIL;
  FieldReader reader(url.substr(kPrefixChars));
  switch (kind) {
    case SourceKind::LegacyLive: return ReadLegacy(reader, request);
    case SourceKind::RecorderLive: return ReadRecorderLive(reader, request);
    case SourceKind::RecorderPlayback:
      request.recorded = 1;
      return ReadRecorderPlayback(reader, request);
    case SourceKind::ServerLive: return ReadServer(url, request);
    case SourceKind::ServerRecorded:
      request.recorded = 1;
      return ReadServer(url, request);
  }
  return E_FAIL;
}

TimeSpan ParseTimeSpan(std::string_view fileName) {
  TimeSpan span;
  size_t cursor = 0;
  span.start = ReadDeviceTime(fileName, cursor);
  if (cursor < fileName.size() && fileName[cursor] == '_') ++cursor;
  span.stop = ReadDeviceTime(fileName, cursor);
  return span;
}

int64_t SpanSeconds(const TimeSpan& span) {
  return static_cast<int64_t>(LocalTime(span.stop)) - static_cast<int64_t>(LocalTime(span.start));
}

}  // namespace netsource
