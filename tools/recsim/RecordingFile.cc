#include "RecordingFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace recsim {
namespace {

// Frame duration until a group names its rate (25 frames per second).
constexpr int64_t kDefaultFrameDuration = recorder::kUnitsPerSecond / 25;

// The stream time a group stands for: its frames, or for a group without video its sound.
int64_t GroupDuration(const recorder::GroupView& group, int64_t frameDuration) {
  const recorder::BlockCounts counts = recorder::CountBlocks(group);
  if (counts.video > 0) return counts.video * frameDuration;
  return counts.audio * recorder::kAudioBlockDuration;
}

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
      const int64_t duration = GroupDuration(group, frameDuration);
      pieces_.push_back({offset, group.Size(), time, duration, group.header.IsResumePoint()});
      time += duration;
      offset += group.Size();
      damageStart = offset;
    } else {
      ++offset;
    }
  }
  closeDamage(size_);
  duration_ = time;
}

size_t RecordingFile::SeekIndex(int64_t time) const {
  if (time >= duration_) return pieces_.size();
  size_t start = 0;
  for (size_t i = 0; i < pieces_.size() && pieces_[i].time <= time; ++i)
    if (pieces_[i].resumePoint) start = i;
  return start;
}

}  // namespace recsim
