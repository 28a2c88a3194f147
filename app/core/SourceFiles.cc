#include "SourceFiles.h"

#include <algorithm>
#include <array>
#include <filesystem>

namespace recast {
namespace {

constexpr std::array<std::string_view, 3> kSearchOrder{".264", ".mp4", ".qrl"};

}  // namespace

std::optional<SourceKind> SourceKindOf(std::string_view path) {
  if (path.ends_with(".264")) return SourceKind::H264;
  if (path.ends_with(".mp4") || path.ends_with(".qrl")) return SourceKind::Mp4;
  return std::nullopt;
}

std::string_view SourceKindText(SourceKind kind) {
  return kind == SourceKind::H264 ? "264 file" : "mp4 file";
}

std::vector<std::string> FindRecorderFiles(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code error;
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError)) entries.push_back(it->path());
  }
  // Within one pattern the files come in name order, as a user reading the folder sees them.
  std::sort(entries.begin(), entries.end());

  std::vector<std::string> found;
  for (std::string_view ending : kSearchOrder) {
    for (const fs::path& entry : entries) {
      const std::string name = entry.filename().string();
      if (name.ends_with(ending)) found.push_back(entry.string());
    }
  }
  return found;
}

}  // namespace recast
