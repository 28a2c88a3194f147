// GroupReader: the complete groups of a recorder file, in file order, read with large
// sequential reads into one buffer and parsed in place. After each read the system is asked
// to fetch the next stretch of the file, so reading ahead overlaps with delivery.
//
// Damage is skipped with the recorder format's group scanner, as every stream reader skips
// it: bytes that do not start a group are passed over up to the next group start, and a group that is invalid, larger than the buffer
// or cut off by the end of the file is dropped and the search goes on from its second byte.
// Each group found says whether anything was skipped since the previous one, so the caller
// can wait for a group where decoding may resume.
#pragma once

#include <cstdint>
#include <memory>

#include "Sha256.h"
#include "recorder/StreamFormat.h"

namespace vendor {

struct FoundGroup {
  recorder::GroupView view;  // points into the reader's buffer; valid until the next Next
  uint64_t offset = 0;       // of the GroupHeader in the file
  bool afterDamage = false;  // bytes were skipped between the previous group and this one
};

class GroupReader {
 public:
  // Bytes held at once: the largest group that can be read, and the size of one read.
  static constexpr size_t kBufferSize = 4 << 20;

  enum class Step { Group, End, ReadError };

  // Reads from the open descriptor `fd` (not owned), which must stay open while reading.
  GroupReader(int fd, uint64_t fileSize);
  GroupReader(const GroupReader&) = delete;
  GroupReader& operator=(const GroupReader&) = delete;

  // Allocates the buffer; false when memory runs out.
  [[nodiscard]] bool Init();

  // Forgets what was read; the next group is searched from `offset`.
  void Seek(uint64_t offset);

  // The next complete group; End at the end of the file, ReadError when reading failed or
  // the file ended before the size it had when reading began.
  [[nodiscard]] Step Next(FoundGroup& out);

  // Feeds `hasher` (kept by the caller) every byte read from file offset `from` on, as long
  // as each read continues where the last one ended; HashedTo says how far that got.
  void HashReads(Sha256& hasher, uint64_t from) {
    hasher_ = &hasher;
    hashedTo_ = from;
  }
  uint64_t HashedTo() const { return hashedTo_; }

 private:
  // Moves the unparsed bytes to the front and reads more after them; false when nothing more
  // could be read (end of file or a read error, see readError_).
  bool Refill();
  // Passes over bytes up to the next possible group start in the buffer.
  void SkipToNextStart();
  recorder::ByteSpan Unparsed() const;

  const int fd_;
  const uint64_t fileSize_;
  std::unique_ptr<uint8_t[]> buffer_;
  uint64_t bufferOffset_ = 0;  // file offset of buffer_[0]
  size_t position_ = 0;        // parse position in buffer_
  size_t fill_ = 0;            // bytes in buffer_
  bool damaged_ = false;       // something was skipped since the last group handed out
  bool readError_ = false;
  Sha256* hasher_ = nullptr;
  uint64_t hashedTo_ = 0;  // the end of the bytes hashed so far
};

}  // namespace vendor
