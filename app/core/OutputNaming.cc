#include "OutputNaming.h"

#include <algorithm>

namespace recast {

std::string FileNameOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string_view OutputEnding(OutputKind kind) {
  return kind == OutputKind::Wmv ? "_OUTPUT.WMV" : "_OUTPUT.AVI";
}

std::string OutputPathFor(const std::string& sourcePath,
                          const std::vector<std::string>& earlierNames, OutputKind kind) {
  const auto matches = std::count(earlierNames.begin(), earlierNames.end(), FileNameOf(sourcePath));
  std::string path = sourcePath;
  if (matches > 0) path.append("_").append(std::to_string(matches));
  return path.append(OutputEnding(kind));
}

}  // namespace recast
