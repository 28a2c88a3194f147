#include "RecordingFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace recsim {
namespace {

// Frame duration until a group names its rate (25 frames per second).
constexpr int64_t kDefaultFrameDuration = recorder::kUnitsPerSecond / 25;

}  // namespace

std::shared_ptr<const RecordingFile> RecordingFile::Open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<size_t>(info.st_size) < recorder::kFileHeaderSize) {
    ::close(fd);
    return nullptr;
  }
  const size_t size = static_cast<size_t>(info.st_size);
  void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);
  if (mapped == MAP_FAILED) return nullptr;
  std::shared_ptr<RecordingFile> file(new RecordingFile(static_cast<const uint8_t*>(mapped), size));
  file->Index();
  return file;
}

RecordingFile::~RecordingFile() { ::munmap(const_cast<uint8_t*>(data_), size_); }

void RecordingFile::Index() {
  const uint8_t* const end = data_ + size_;
  size_t offset = recorder::kFileHeaderSize;
  size_t damageStart = offset;
  int64_t time = 0;
  int64_t frameDuration = kDefaultFrameDuration;
  const auto closeDamage = [&](size_t at) {
    if (at > damageStart) pieces_.push_back({damageStart, at - damageStart, time, 0, false});
  };
  while (offset < size_) {
    recorder::GroupView group;
    if (recorder::IsGroupStart(data_ + offset, size_ - offset) &&
        recorder::ParseGroup(data_ + offset, end, group) == recorder::ParseResult::Complete) {
      closeDamage(offset);
      frameDuration = recorder::FrameDuration(group.header.frameRateCode, frameDuration);
      const size_t first = pieces_.size();
      AddGroup(group, frameDuration, time);
      for (size_t i = first; i < pieces_.size(); ++i) time += pieces_[i].duration;
      offset += group.Size();
      damageStart = offset;
    } else {
      ++offset;
    }
  }
  closeDamage(size_);
  duration_ = time;
}

// One piece per video block, ending after it (the last one at the group's end), each lasting
// a frame; a group without video is one piece lasting its sound.
void RecordingFile::AddGroup(const recorder::GroupView& group, int64_t frameDuration,
                             int64_t time) {
  const recorder::BlockCounts counts = recorder::CountBlocks(group);
  if (counts.video == 0) {
    pieces_.push_back({static_cast<size_t>(group.start - data_), group.Size(), time,
                       counts.audio * recorder::kAudioBlockDuration, group.header.IsResumePoint()});
    return;
  }
  const uint8_t* pieceStart = group.start;
  for (int n = 0; n < counts.video; ++n) {
    const uint8_t* pieceEnd =
        n + 1 == counts.video ? group.end : recorder::NthVideoBlock(group, n)->end;
    pieces_.push_back({static_cast<size_t>(pieceStart - data_),
                       static_cast<size_t>(pieceEnd - pieceStart), time + n * frameDuration,
                       frameDuration, n == 0 && group.header.IsResumePoint()});
    pieceStart = pieceEnd;
  }
}

size_t RecordingFile::SeekIndex(int64_t time) const {
  if (time >= duration_) return pieces_.size();
  size_t start = 0;
  for (size_t i = 0; i < pieces_.size() && pieces_[i].time <= time; ++i)
    if (pieces_[i].resumePoint) start = i;
  return start;
}

}  // namespace recsim
