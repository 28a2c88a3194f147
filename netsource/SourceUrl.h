// Source URLs: which back end a URL selects, the fields it carries, and the time-span reading
// of a recorded file name. Plain text processing; nothing here touches a platform.
//
//   Real://host/channel/port                         legacy live (port read and ignored)
//   ntrt://host/channel/port/user/password[/sub]     recorder live view
//   ntfl://host/channel/port/user/password/fileName  recorder playback
//   svrt://rest, svfl://rest                         stream server: "rtsp" + "://rest"
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "HResult.h"

namespace netsource {

enum class SourceKind { LegacyLive, RecorderLive, RecorderPlayback, ServerLive, ServerRecorded };

// Limits of the request fields, in characters without the terminator.
constexpr size_t kMaxHostChars = 19;
constexpr size_t kMaxNumberChars = 9;
constexpr size_t kMaxUserChars = 16;
constexpr size_t kMaxPasswordChars = 16;
constexpr size_t kMaxSubStreamChars = 3;
constexpr size_t kMaxFileNameChars = 259;
constexpr size_t kMaxServerUrlChars = 255;
constexpr size_t kPrefixChars = 7;  // "ntrt://"

struct SourceSelection {
  SourceKind kind = SourceKind::RecorderLive;
  int recorded = 0;  // 1 for a recorded file: decides push flags and seeking
};

struct SourceRequest {
  SourceKind kind = SourceKind::RecorderLive;
  std::string host;
  int32_t channel = 0;
  int32_t port = 0;  // the back ends use the low 16 bits
  std::string user;
  std::string password;
  int subStream = 0;
  std::string fileName;
  std::string serverUrl;
  int recorded = 0;
};

// The scheme of the first seven characters, upper-case letters folded except "R" (so REAL://
// is Real:// and NTRT:// matches nothing); nothing when no scheme matches.
std::optional<SourceSelection> SelectSource(std::string_view url);

// The fields after the prefix. E_FAIL for a field at its bound, a URL cut short before a
// required field, or a sub-stream field, file name or server URL over its limit.
HRESULT ParseSourceUrl(SourceKind kind, std::string_view url, SourceRequest& request);

// The recorder SDK's time record, field for field.
struct DeviceTime {
  uint32_t year = 0;
  uint32_t month = 0;
  uint32_t day = 0;
  uint32_t hour = 0;
  uint32_t minute = 0;
  uint32_t second = 0;
  bool operator==(const DeviceTime&) const = default;
};

struct TimeSpan {
  DeviceTime start;
  DeviceTime stop;
};

// YYYYMMDDhhmmss, an optional "_", YYYYMMDDhhmmss; short text gives what atoi makes of it.
TimeSpan ParseTimeSpan(std::string_view fileName);

// Seconds from start to stop, both read as local calendar times (negative when stop is earlier).
int64_t SpanSeconds(const TimeSpan& span);

// The standard atoi conversion on a bounded text (leading blanks, sign, digits).
int32_t AtoiField(std::string_view text);

}  // namespace netsource
