// FileIndex: what a recorder file holds, learnt once when the file is loaded by reading it
// from end to end the way playback will: its FileHeader, the delivered groups with their file
// offsets and start times, the duration and the largest sample each output will carry.
//
// Playback restarts at any indexed group where decoding may resume, stamping from 0 again;
// the index gives that group's time in the whole file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "HResult.h"
#include "Sha256.h"
#include "WinTypes.h"
#include "recorder/StreamFormat.h"

namespace vendor {

struct IndexedGroup {
  uint64_t offset = 0;         // of the GroupHeader in the file
  REFERENCE_TIME time = 0;     // its start (GroupTimes::Start) from the file's start
  bool resumable = false;      // playback may start here
};

class FileIndex {
 public:
  // Opens and indexes `path`. VFW_E_UNKNOWN_FILE_TYPE when the file does not start with a
  // recorder magic, VFW_E_INVALID_FILE_FORMAT when it holds no complete group that can be
  // played, a Win32 error HRESULT when it cannot be opened or read.
  [[nodiscard]] static HRESULT Build(const std::string& path, FileIndex& index);

  FileIndex() = default;
  ~FileIndex();
  FileIndex(const FileIndex&) = delete;
  FileIndex& operator=(const FileIndex&) = delete;
  FileIndex(FileIndex&& other) noexcept;
  FileIndex& operator=(FileIndex&& other) noexcept;

  bool Loaded() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }
  uint64_t FileSize() const { return fileSize_; }
  const recorder::FileHeader& Header() const { return header_; }
  const std::vector<IndexedGroup>& Groups() const { return groups_; }
  // The end of the last video or audio sample when the whole file is played.
  REFERENCE_TIME Duration() const { return duration_; }
  // The frame duration of the first group with video: what the video type announces, so that
  // a 30 fps file is not written as 25 fps by a muxer that trusts the type. 0 without video.
  REFERENCE_TIME FirstFrameDuration() const { return firstFrameDuration_; }
  // The most bytes one group's video blocks (headers included) and one audio payload take.
  size_t LargestGroupVideo() const { return largestGroupVideo_; }
  size_t LargestAudioPayload() const { return largestAudioPayload_; }

  // The SHA-256 of the whole file, computed from the bytes the indexing read; nothing when
  // the read did not cover the file in one sequence.
  const std::optional<Sha256::Digest>& Digest() const { return digest_; }

  // The first group at or after `time` where playback may start; Groups().size() if none.
  size_t ResumeGroupAt(REFERENCE_TIME time) const;

 private:
  HRESULT Scan(Sha256& hasher);

  int fd_ = -1;
  uint64_t fileSize_ = 0;
  recorder::FileHeader header_;
  std::vector<IndexedGroup> groups_;
  REFERENCE_TIME duration_ = 0;
  REFERENCE_TIME firstFrameDuration_ = 0;
  size_t largestGroupVideo_ = 0;
  size_t largestAudioPayload_ = 0;
  std::optional<Sha256::Digest> digest_;
};

}  // namespace vendor
