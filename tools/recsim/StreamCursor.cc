#include "StreamCursor.h"

namespace recsim {

StreamCursor::StreamCursor(std::shared_ptr<const RecordingFile> file, Mode mode)
    : file_(std::move(file)), mode_(mode) {}

std::optional<TimedBytes> StreamCursor::Next() {
  const auto& pieces = file_->Pieces();
  if (index_ >= pieces.size()) {
    // A loop needs stream time to move on, or it would spin on a file without frames.
    if (mode_ == Mode::Once || pieces.empty() || file_->Duration() <= 0) return std::nullopt;
    index_ = 0;
    roundOffset_ += file_->Duration();
  }
  const Piece& piece = pieces[index_++];
  return TimedBytes{file_->Bytes(piece), roundOffset_ + piece.time};
}

void StreamCursor::Seek(int64_t time) {
  index_ = file_->SeekIndex(time < 0 ? 0 : time);
  roundOffset_ = 0;
}

}  // namespace recsim
