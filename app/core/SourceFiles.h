// Which files the conversion list accepts, and how a folder is searched for them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace recast {

// The two kinds the information page tells apart: ".264" files and the others.
enum class SourceKind { H264, Mp4 };

// The kind of a recorder file by the last four characters of its name (".264", ".mp4",
// ".qrl", compared case-sensitively); nothing for any other ending.
std::optional<SourceKind> SourceKindOf(std::string_view path);

// "264 file" or "mp4 file".
std::string_view SourceKindText(SourceKind kind);

// The recorder files directly inside `folder` (not in subfolders): first the ".264" files,
// then ".mp4", then ".qrl", each group by name. An unreadable folder gives nothing.
std::vector<std::string> FindRecorderFiles(const std::string& folder);

}  // namespace recast
