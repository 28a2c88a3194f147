#include "RtspUrl.h"

#include <algorithm>

#include "Decimal.h"

namespace streamclient {

namespace {
constexpr std::string_view kSchemeEnd = "://";
constexpr std::string_view kLiveSegment = "/av_stream";
constexpr int kMaxPort = 65535;

SchemeKind KindOf(std::string_view scheme) {
  if (scheme == "http") return SchemeKind::kHttp;
  if (scheme == "rtsp") return SchemeKind::kRtsp;
  if (scheme == "file") return SchemeKind::kFile;
  return SchemeKind::kNone;
}
}  // namespace

RtspUrl RtspUrl::Parse(std::string_view text) {
  RtspUrl url;
  url.url = std::string(text);
  std::string_view rest = text;
  if (const size_t schemeEnd = rest.find(kSchemeEnd); schemeEnd != std::string_view::npos) {
    url.scheme = std::string(rest.substr(0, schemeEnd));
    url.kind = KindOf(url.scheme);
    rest.remove_prefix(schemeEnd + kSchemeEnd.size());
  }
  if (const size_t slash = rest.find('/'); slash != std::string_view::npos) {
    url.path = std::string(rest.substr(slash));
    rest = rest.substr(0, slash);
  }
  if (const size_t colon = rest.find(':'); colon != std::string_view::npos) {
    url.host = std::string(rest.substr(0, colon));
    url.port = static_cast<int>(std::clamp<int64_t>(LeadingNumber(rest.substr(colon + 1)), 0,
                                                    kMaxPort));
  } else {
    url.host = std::string(rest);
    url.port = url.kind == SchemeKind::kHttp   ? kDefaultHttpPort
               : url.kind == SchemeKind::kRtsp ? kDefaultRtspPort
                                               : 0;
  }
  url.valid = url.kind != SchemeKind::kNone;
  return url;
}

bool IsPlayableUrl(const RtspUrl& url) {
  return url.valid && url.kind == SchemeKind::kRtsp && url.path.size() <= kMaxPathLength;
}

bool IsLivePath(std::string_view text) {
  const size_t slash = text.rfind('/');
  return slash != std::string_view::npos && text.substr(slash, kLiveSegment.size()) == kLiveSegment;
}

}  // namespace streamclient
