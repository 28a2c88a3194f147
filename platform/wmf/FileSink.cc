#include "FileSink.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavutil/mem.h>
}

namespace {

constexpr int kBufferSize = 256 * 1024;
constexpr mode_t kFileMode = 0644;

}  // namespace

FileSink::~FileSink() { Close(); }

HRESULT FileSink::Open(const std::string& path) {
  Close();
  write_failed_ = false;
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, kFileMode);
  if (fd_ < 0) return NS_E_FILE_OPEN_FAILED;
  auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
  if (buffer) context_ = avio_alloc_context(buffer, kBufferSize, 1, this, nullptr, WritePacket, Seek);
  if (!context_) {
    av_free(buffer);
    ::close(fd_);
    fd_ = -1;
    return E_OUTOFMEMORY;
  }
  context_->seekable = AVIO_SEEKABLE_NORMAL;
  return S_OK;
}

int FileSink::WritePacket(void* opaque, uint8_t* data, int size) {
  auto* self = static_cast<FileSink*>(opaque);
  int left = size;
  while (left > 0) {
    const ssize_t written = ::write(self->fd_, data, static_cast<size_t>(left));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      self->write_failed_ = true;
      return AVERROR(EIO);
    }
    data += written;
    left -= static_cast<int>(written);
  }
  return size;
}

int64_t FileSink::Seek(void* opaque, int64_t offset, int whence) {
  auto* self = static_cast<FileSink*>(opaque);
  if (whence & AVSEEK_SIZE) {
    struct stat info {};
    return ::fstat(self->fd_, &info) == 0 ? info.st_size : AVERROR(errno);
  }
  const off_t position = ::lseek(self->fd_, offset, whence & ~AVSEEK_FORCE);
  return position < 0 ? AVERROR(errno) : position;
}

bool FileSink::Flush() {
  if (!context_) return false;
  avio_flush(context_);
  return !write_failed_ && !context_->error;
}

bool FileSink::ReadAt(int64_t offset, uint8_t* data, size_t size) const {
  while (size > 0) {
    const ssize_t got = ::pread(fd_, data, size, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    offset += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

bool FileSink::WriteAt(int64_t offset, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t put = ::pwrite(fd_, data, size, offset);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      write_failed_ = true;
      return false;
    }
    data += put;
    offset += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

bool FileSink::Close() {
  bool ok = true;
  if (context_) {
    ok = Flush();
    av_freep(&context_->buffer);
    avio_context_free(&context_);
  }
  if (fd_ >= 0) {
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
  }
  return ok && !write_failed_;
}
