#include "DeviceStreamer.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "DeviceWire.h"

namespace recsim {
namespace {

// How often a waiting stream looks at the stop flag and at its peer.
constexpr std::chrono::milliseconds kSlice{50};
// Pieces go out in frames of at most this many bytes.
constexpr size_t kMaxFrameBytes = 64 * 1024;
constexpr char kBadMagic[] = "4MSH";

// The stream connection carries nothing from the host after its request: anything readable
// is the host closing it.
bool PeerGone(int fd) {
  pollfd entry{fd, POLLIN | POLLRDHUP, 0};
  return ::poll(&entry, 1, 0) > 0;
}

}  // namespace

DeviceStreamer::DeviceStreamer(std::shared_ptr<const RecordingFile> file,
                               StreamerSettings settings)
    : file_(std::move(file)), settings_(settings), cursor_(file_, settings.mode) {
  cursor_.Seek(settings.startTime);
  started_ = !settings.waitForStart;
}

void DeviceStreamer::Start() {
  std::lock_guard guard(lock_);
  started_ = true;
  wake_.notify_all();
}

void DeviceStreamer::Pause() {
  std::lock_guard guard(lock_);
  paused_ = true;
}

void DeviceStreamer::Resume() {
  std::lock_guard guard(lock_);
  paused_ = false;
  anchored_ = false;
  wake_.notify_all();
}

void DeviceStreamer::SeekPercent(uint32_t percent) {
  std::lock_guard guard(lock_);
  cursor_.Seek(file_->Duration() / 100 * std::min<uint32_t>(percent, 100));
  moved_ = true;
  anchored_ = false;
  wake_.notify_all();
}

bool DeviceStreamer::WaitSlice(std::unique_lock<std::mutex>& guard, int fd,
                               const std::atomic<bool>& stop) {
  wake_.wait_for(guard, kSlice);
  return !stop && !PeerGone(fd);
}

void DeviceStreamer::Run(int fd, const std::atomic<bool>& stop) {
  {
    std::unique_lock guard(lock_);
    while (!started_)
      if (!WaitSlice(guard, fd, stop)) return;
  }
  if (!SendHeader(fd)) return;
  std::optional<TimedBytes> piece;
  for (;;) {
    switch (NextPiece(fd, stop, piece)) {
      case Step::End:
        return;
      case Step::Again:
        continue;
      case Step::Send:
        if (!SendPiece(fd, *piece, stop)) return;
        piece.reset();
    }
  }
}

DeviceStreamer::Step DeviceStreamer::NextPiece(int fd, const std::atomic<bool>& stop,
                                               std::optional<TimedBytes>& piece) {
  std::unique_lock guard(lock_);
  if (paused_) return WaitSlice(guard, fd, stop) ? Step::Again : Step::End;
  if (moved_) piece.reset();  // after a seek the cursor's piece is the next one
  moved_ = false;
  if (!piece) {
    piece = cursor_.Next();
    if (!piece) {
      // A played recording stays open at its end, for a jump back into it.
      if (!atEnd_ && !devicewire::SendFrame(fd, devicewire::kEnd, {})) return Step::End;
      atEnd_ = true;
      return WaitSlice(guard, fd, stop) ? Step::Again : Step::End;
    }
    atEnd_ = false;
  }
  if (settings_.pacePercent == 0) return Step::Send;
  const auto now = std::chrono::steady_clock::now();
  if (!anchored_) {
    anchored_ = true;
    anchorWall_ = now;
    anchorTime_ = piece->time;
  }
  const auto due =
      anchorWall_ + std::chrono::microseconds((piece->time - anchorTime_) / 10 * 100 /
                                              settings_.pacePercent);
  if (due <= now) return Step::Send;
  wake_.wait_until(guard, std::min(due, now + kSlice));
  return stop || PeerGone(fd) ? Step::End : Step::Again;
}

bool DeviceStreamer::SendHeader(int fd) {
  std::string header(reinterpret_cast<const char*>(file_->Header().data()),
                     file_->Header().size());
  if (settings_.faults.badMagic) std::memcpy(header.data(), kBadMagic, 4);
  if (settings_.faults.shortHeader) header.pop_back();
  return devicewire::SendFrame(fd, devicewire::kHeader, header);
}

bool DeviceStreamer::SendPiece(int fd, const TimedBytes& piece, const std::atomic<bool>& stop) {
  std::string_view bytes(reinterpret_cast<const char*>(piece.bytes.data()), piece.bytes.size());
  const DeviceFaults& faults = settings_.faults;
  while (!bytes.empty()) {
    size_t size = std::min(bytes.size(), kMaxFrameBytes);
    // Cut exactly at a fault's byte count, so the host sees the stream stop there.
    for (const uint64_t limit : {faults.stallAfter, faults.dropAfter})
      if (limit > bytesSent_ && limit - bytesSent_ < size) size = limit - bytesSent_;
    if (!devicewire::SendFrame(fd, devicewire::kStream, bytes.substr(0, size))) return false;
    bytes.remove_prefix(size);
    bytesSent_ += size;
    if (faults.dropAfter != 0 && bytesSent_ >= faults.dropAfter) {
      ::shutdown(fd, SHUT_RDWR);
      return false;
    }
    if (faults.stallAfter != 0 && bytesSent_ >= faults.stallAfter) {
      std::unique_lock guard(lock_);
      while (WaitSlice(guard, fd, stop)) {
      }
      return false;
    }
  }
  return true;
}

}  // namespace recsim
