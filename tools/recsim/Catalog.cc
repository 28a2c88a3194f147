#include "Catalog.h"

#include <algorithm>
#include <filesystem>

namespace recsim {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSchemeMark = "://";

std::vector<std::string> Segments(const std::string& path) {
  std::vector<std::string> segments;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    if (slash > start) segments.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return segments;
}

bool SafeSegment(const std::string& segment) {
  return segment != "." && segment != ".." && segment.find('\0') == std::string::npos;
}

// The first regular file of a folder, by name.
std::optional<fs::path> FirstFile(const fs::path& folder) {
  std::error_code error;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder, error))
    if (entry.is_regular_file(error)) files.push_back(entry.path());
  if (files.empty()) return std::nullopt;
  return *std::min_element(files.begin(), files.end());
}

}  // namespace

std::optional<std::string> Catalog::PathOf(const std::string& uri) {
  size_t start = 0;
  if (const size_t scheme = uri.find(kSchemeMark); scheme != std::string::npos) {
    start = uri.find('/', scheme + kSchemeMark.size());
    if (start == std::string::npos) return std::string("/");
  }
  if (start >= uri.size() || uri[start] != '/') return std::nullopt;
  return uri.substr(start);
}

std::optional<std::string> Catalog::FileFor(const std::vector<std::string>& segments,
                                            bool live) const {
  if (!std::all_of(segments.begin(), segments.end(), SafeSegment)) return std::nullopt;
  fs::path path(root_);
  for (size_t i = 0; i + (live ? 1 : 0) < segments.size(); ++i) path /= segments[i];
  std::error_code error;
  if (fs::is_regular_file(path, error)) return path.string();
  if (live && fs::is_directory(path, error))
    if (auto first = FirstFile(path)) return first->string();
  return std::nullopt;
}

std::optional<Channel> Catalog::Find(const std::string& path) {
  const std::vector<std::string> segments = Segments(path);
  if (segments.empty()) return std::nullopt;
  Channel channel;
  channel.path = path;
  channel.live = segments.back() == kLiveSegment;
  const auto file = FileFor(segments, channel.live);
  if (!file) return std::nullopt;
  channel.file = RecordingFile::Open(*file);
  if (!channel.file) return std::nullopt;
  return channel;
}

VideoParams Catalog::GetVideoParams(const std::string& channel) {
  std::lock_guard guard(lock_);
  return videoParams_[channel];
}

void Catalog::SetVideoParams(const std::string& channel, const VideoParams& params) {
  std::lock_guard guard(lock_);
  videoParams_[channel] = params;
}

void Catalog::RecordPtz(PtzCommand command) {
  std::lock_guard guard(lock_);
  ptz_.push_back(std::move(command));
}

std::vector<PtzCommand> Catalog::PtzCommands() {
  std::lock_guard guard(lock_);
  return ptz_;
}

}  // namespace recsim
