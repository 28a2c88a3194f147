// The URL record of a player: "scheme://host[:port][/path]". Only the scheme kind decides
// validity; the player API further requires "rtsp".
#pragma once

#include <string>
#include <string_view>

namespace streamclient {

enum class SchemeKind { kHttp = 0, kRtsp = 1, kFile = 2, kNone = 3 };

constexpr size_t kMaxPathLength = 1023;
constexpr int kDefaultHttpPort = 80;
constexpr int kDefaultRtspPort = 554;

struct RtspUrl {
  std::string url;
  std::string scheme;
  std::string host;
  int port = 0;
  std::string path;
  SchemeKind kind = SchemeKind::kNone;
  bool valid = false;

  static RtspUrl Parse(std::string_view text);
};

// What a player can open: a valid "rtsp" URL whose path fits the player's path field.
bool IsPlayableUrl(const RtspUrl& url);

// A live stream: the 10 characters from the last "/" of the text are "/av_stream".
bool IsLivePath(std::string_view text);

}  // namespace streamclient
