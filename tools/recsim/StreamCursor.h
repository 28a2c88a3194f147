// StreamCursor: walks the pieces of a recording in order, for a recorded file once and for
// a live channel in an endless loop whose stream time keeps growing across the rounds.
#pragma once

#include <memory>
#include <optional>

#include "RecordingFile.h"

namespace recsim {

struct TimedBytes {
  recorder::ByteSpan bytes;
  int64_t time = 0;  // stream time at the start, 100 ns units
};

class StreamCursor {
 public:
  enum class Mode { Once, Loop };
  StreamCursor(std::shared_ptr<const RecordingFile> file, Mode mode);

  // The next piece; nothing at the end of a recording played once (or of an empty one).
  std::optional<TimedBytes> Next();

  // Continue at stream time `time` (from the resume point at or before it).
  void Seek(int64_t time);

 private:
  std::shared_ptr<const RecordingFile> file_;
  Mode mode_;
  size_t index_ = 0;
  int64_t roundOffset_ = 0;  // stream time added in the current round of a loop
};

}  // namespace recsim
