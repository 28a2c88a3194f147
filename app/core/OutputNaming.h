// Where a job's output goes: next to its source, named after it, with a running number when
// an earlier row already holds a file of the same name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ConvertTypes.h"

namespace recast {

// The file name of a path: the text after its last '/' (the whole text when there is none).
std::string FileNameOf(std::string_view path);

// "_OUTPUT.WMV", "_OUTPUT.AVI", "_OUTPUT.MP4" or "_OUTPUT.MKV".
std::string_view OutputEnding(OutputKind kind);

// The output path of `sourcePath` added after rows whose source file names are
// `earlierNames` (top to bottom): the source path, then "_n" when n earlier rows have the same
// file name, then the ending of the output kind. The name alone decides, so files of the same
// name from different folders get told apart in the list.
std::string OutputPathFor(const std::string& sourcePath,
                          const std::vector<std::string>& earlierNames, OutputKind kind);

}  // namespace recast
