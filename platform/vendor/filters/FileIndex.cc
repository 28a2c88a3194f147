#include "FileIndex.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "DShowErrors.h"
#include "GroupReader.h"
#include "GroupTiming.h"

namespace vendor {
namespace {

HRESULT FromErrno(int error) {
  switch (error) {
    case ENOENT: return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case ENOTDIR: return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM: return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    case ENOMEM: return E_OUTOFMEMORY;
    default: return HRESULT_FROM_WIN32(ERROR_CANTREAD);
  }
}

HRESULT ReadHeader(int fd, recorder::FileHeader& header, Sha256& hasher) {
  uint8_t bytes[recorder::kFileHeaderSize];
  ssize_t got;
  do {
    got = pread(fd, bytes, sizeof bytes, 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return FromErrno(errno);
  const auto parsed = recorder::ParseFileHeader(recorder::ByteSpan(bytes, static_cast<size_t>(got)));
  if (!parsed || !recorder::IsRecorderMagic(parsed->magic)) return VFW_E_UNKNOWN_FILE_TYPE;
  header = *parsed;
  hasher.Update(bytes, static_cast<size_t>(got));
  return S_OK;
}

}  // namespace

HRESULT FileIndex::Build(const std::string& path, FileIndex& index) {
  FileIndex built;
  built.fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (built.fd_ < 0) return FromErrno(errno);
  struct stat info;
  if (fstat(built.fd_, &info) != 0) return FromErrno(errno);
  if (!S_ISREG(info.st_mode)) return VFW_E_UNKNOWN_FILE_TYPE;
  built.fileSize_ = static_cast<uint64_t>(info.st_size);
  // The digest is taken from the bytes the index reads anyway, so it costs no pass of its own.
  Sha256 hasher;
  HRESULT hr = ReadHeader(built.fd_, built.header_, hasher);
  if (FAILED(hr)) return hr;
  posix_fadvise(built.fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  hr = built.Scan(hasher);
  if (FAILED(hr)) return hr;
  index = std::move(built);
  return S_OK;
}

HRESULT FileIndex::Scan(Sha256& hasher) {
  GroupReader reader(fd_, fileSize_);
  if (!reader.Init()) return E_OUTOFMEMORY;
  reader.Seek(recorder::kFileHeaderSize);
  reader.HashReads(hasher, recorder::kFileHeaderSize);
  GroupTiming timing(header_.systemType);
  FoundGroup found;
  for (;;) {
    const GroupReader::Step step = reader.Next(found);
    if (step == GroupReader::Step::ReadError) return HRESULT_FROM_WIN32(ERROR_CANTREAD);
    if (step == GroupReader::Step::End) break;
    GroupTimes times;
    if (!timing.Accept(found.view, found.afterDamage, times)) continue;
    groups_.push_back({found.offset, times.Start(),
                       GroupTiming::MayResumeAt(found.view.header, header_.systemType)});
    size_t videoBytes = 0;
    recorder::ForEachBlock(found.view, [&](const recorder::BlockView& block) {
      if (recorder::IsVideoBlockType(block.type)) videoBytes += block.Size();
      if (recorder::IsAudioBlockType(block.type))
        largestAudioPayload_ = std::max(largestAudioPayload_, block.PayloadSize());
      return false;
    });
    largestGroupVideo_ = std::max(largestGroupVideo_, videoBytes);
    if (firstFrameDuration_ == 0 && times.videoBlocks > 0) firstFrameDuration_ = times.frameDuration;
    duration_ = std::max({duration_, times.VideoEnd(), times.AudioEnd()});
  }
  if (hasher.Valid() && reader.HashedTo() == fileSize_) digest_ = hasher.Final();
  return groups_.empty() ? VFW_E_INVALID_FILE_FORMAT : S_OK;
}

size_t FileIndex::ResumeGroupAt(REFERENCE_TIME time) const {
  const auto it = std::find_if(groups_.begin(), groups_.end(), [&](const IndexedGroup& group) {
    return group.resumable && group.time >= time;
  });
  return static_cast<size_t>(it - groups_.begin());
}

FileIndex::~FileIndex() {
  if (fd_ >= 0) close(fd_);
}

FileIndex::FileIndex(FileIndex&& other) noexcept { *this = std::move(other); }

FileIndex& FileIndex::operator=(FileIndex&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    fileSize_ = other.fileSize_;
    header_ = other.header_;
    groups_ = std::move(other.groups_);
    duration_ = other.duration_;
    firstFrameDuration_ = other.firstFrameDuration_;
    largestGroupVideo_ = other.largestGroupVideo_;
    largestAudioPayload_ = other.largestAudioPayload_;
    digest_ = other.digest_;
  }
  return *this;
}

}  // namespace vendor
