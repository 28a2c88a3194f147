#include "OutputNaming.h"

#include <algorithm>

namespace recast {

std::string FileNameOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string_view OutputEnding(OutputKind kind) {
  switch (kind) {
    case OutputKind::Avi: return "_OUTPUT.AVI";
    case OutputKind::Mp4: return "_OUTPUT.MP4";
    case OutputKind::Mkv: return "_OUTPUT.MKV";
    case OutputKind::Wmv: break;
  }
  return "_OUTPUT.WMV";
}

std::string OutputPathFor(const std::string& sourcePath,
                          const std::vector<std::string>& earlierNames, OutputKind kind) {
  const auto matches = std::count(earlierNames.begin(), earlierNames.end(), FileNameOf(sourcePath));
  std::string path = sourcePath;
  if (matches > 0) path.append("_").append(std::to_string(matches));
  return path.append(OutputEnding(kind));
}

}  // namespace recast
