// The muxer's output: a seekable AVIOContext over a file descriptor, so the muxer can go back
// and give the header its final sizes, and so the finished header can be read back and
// mended before the file is closed.
#pragma once

#include <string>
#include <vector>

extern "C" {
#include <libavformat/avio.h>
}

#include "WmTypes.h"

class FileSink {
 public:
  FileSink() = default;
  ~FileSink();
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  // Creates (or truncates) the file. NS_E_FILE_OPEN_FAILED if it cannot be created.
  HRESULT Open(const std::string& path);
  AVIOContext* Context() const { return context_; }
  // Flushes buffered output; false if any write failed so far.
  bool Flush();
  // Direct access to the written file, after Flush.
  bool ReadAt(int64_t offset, uint8_t* data, size_t size) const;
  bool WriteAt(int64_t offset, const uint8_t* data, size_t size);
  // Flushes and closes; false if anything failed to reach the file.
  bool Close();

 private:
  static int WritePacket(void* opaque, uint8_t* data, int size);
  static int64_t Seek(void* opaque, int64_t offset, int whence);

  int fd_ = -1;
  AVIOContext* context_ = nullptr;
  bool write_failed_ = false;
};
