#include "SourceFiles.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

namespace recast {
namespace {

constexpr std::array<std::string_view, 3> kSearchOrder{".264", ".mp4", ".qrl"};

// Recorders exporting to FAT media write their names in capitals ("CH01.MP4").
bool EndsWithIgnoringCase(std::string_view name, std::string_view ending) {
  if (name.size() < ending.size()) return false;
  const std::string_view tail = name.substr(name.size() - ending.size());
  return std::equal(tail.begin(), tail.end(), ending.begin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
}

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
      if (EndsWithIgnoringCase(name, ending)) found.push_back(entry.string());
    }
  }
  return found;
}

}  // namespace recast
