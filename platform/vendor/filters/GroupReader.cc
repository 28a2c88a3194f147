#include "GroupReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "recorder/GroupScanner.h"

namespace vendor {

GroupReader::GroupReader(int fd, uint64_t fileSize) : fd_(fd), fileSize_(fileSize) {}

bool GroupReader::Init() {
  buffer_.reset(new (std::nothrow) uint8_t[kBufferSize]);
  return buffer_ != nullptr;
}

void GroupReader::Seek(uint64_t offset) {
  bufferOffset_ = offset;
  position_ = 0;
  fill_ = 0;
  damaged_ = false;
  readError_ = false;
}

bool GroupReader::Refill() {
  if (position_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + position_, fill_ - position_);
    bufferOffset_ += position_;
    fill_ -= position_;
    position_ = 0;
  }
  const uint64_t next = bufferOffset_ + fill_;
  if (fill_ == kBufferSize || next >= fileSize_) return false;
  const size_t want = static_cast<size_t>(std::min<uint64_t>(kBufferSize - fill_, fileSize_ - next));
  ssize_t got;
  do {
    got = pread(fd_, buffer_.get() + fill_, want, static_cast<off_t>(next));
  } while (got < 0 && errno == EINTR);
  // The file was shorter than its size said: cut while it was read, which is as much a read
  // error as EIO (and would otherwise have Next wait for bytes that never come).
  if (got <= 0) {
    readError_ = true;
    return false;
  }
  if (hasher_ && next == hashedTo_) {
    hasher_->Update(buffer_.get() + fill_, static_cast<size_t>(got));
    hashedTo_ += static_cast<uint64_t>(got);
  }
  fill_ += static_cast<size_t>(got);
  // Let the system fetch what comes next while these bytes are parsed and delivered.
  posix_fadvise(fd_, static_cast<off_t>(next + static_cast<uint64_t>(got)),
                static_cast<off_t>(kBufferSize), POSIX_FADV_WILLNEED);
  return true;
}

recorder::ByteSpan GroupReader::Unparsed() const {
  return recorder::ByteSpan(buffer_.get() + position_, fill_ - position_);
}

void GroupReader::SkipToNextStart() {
  damaged_ = true;
  // A candidate too close to the end is kept until more bytes tell.
  position_ += recorder::FindGroupStart(Unparsed(), 1);
}

GroupReader::Step GroupReader::Next(FoundGroup& out) {
  for (;;) {
    const size_t available = fill_ - position_;
    const bool atEnd = bufferOffset_ + fill_ >= fileSize_;
    if (available < recorder::kGroupStartProbe && !atEnd) {
      if (!Refill() && readError_) return Step::ReadError;
      continue;
    }
    if (available < recorder::kGroupHeaderSize && atEnd) {
      if (available > 0) position_ = fill_;  // a tail too short to be a group
      return Step::End;
    }
    const recorder::GroupScan scan = recorder::ScanGroup(Unparsed());
    if (scan.status == recorder::ScanStatus::Group) {
      out.view = scan.group;
      out.offset = bufferOffset_ + position_;
      out.afterDamage = damaged_;
      damaged_ = false;
      position_ += scan.group.Size();
      return Step::Group;
    }
    if (scan.status == recorder::ScanStatus::NeedMore && Refill()) continue;
    if (readError_) return Step::ReadError;
    // Invalid, larger than the buffer, or cut off by the end of the file.
    SkipToNextStart();
  }
}

}  // namespace vendor
