// RecordingFile: a recorder file mapped into memory and cut into timed pieces, so that a
// server can send each frame at its time. A group of several frames is cut after each of
// its video blocks (the last piece runs to the group's end); a group without video is one
// piece. A run of bytes between groups that do not parse (damage, a truncated last group) is
// a piece with no stream time of its own, served as it stands: the pieces in order are the
// file exactly as recorded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "recorder/StreamFormat.h"

namespace recsim {

struct Piece {
  size_t offset = 0;  // in the file
  size_t size = 0;
  int64_t time = 0;      // stream time at the piece's start, 100 ns units
  int64_t duration = 0;  // stream time the piece stands for
  bool resumePoint = false;  // the start of a group a decoder can start at
};

class RecordingFile {
 public:
  // Maps and indexes the file; nullptr when it cannot be read or is shorter than a header.
  static std::shared_ptr<const RecordingFile> Open(const std::string& path);
  ~RecordingFile();
  RecordingFile(const RecordingFile&) = delete;
  RecordingFile& operator=(const RecordingFile&) = delete;

  recorder::ByteSpan Header() const { return {data_, recorder::kFileHeaderSize}; }
  const std::vector<Piece>& Pieces() const { return pieces_; }
  recorder::ByteSpan Bytes(const Piece& piece) const { return {data_ + piece.offset, piece.size}; }
  size_t FileSize() const { return size_; }
  int64_t Duration() const { return duration_; }  // 100 ns units

  // The piece to start at for stream time `time`: the last resume point at or before it
  // (the first piece when there is none); Pieces().size() when `time` lies past the end.
  size_t SeekIndex(int64_t time) const;

 private:
  RecordingFile(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  void Index();
  void AddGroup(const recorder::GroupView& group, int64_t frameDuration, int64_t time);

  const uint8_t* data_;
  size_t size_;
  std::vector<Piece> pieces_;
  int64_t duration_ = 0;
};

}  // namespace recsim
