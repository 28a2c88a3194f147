#include "MediaSender.h"

#include <sys/socket.h>

namespace recsim {
namespace {

// Behind its due time by more than this, the sender starts pacing afresh.
constexpr std::chrono::milliseconds kLateLimit{250};
// Sending as fast as possible over UDP still leaves the receiver time to read.
constexpr std::chrono::microseconds kFastDatagramGap{50};
constexpr int64_t kNsPerUnit = 100;

}  // namespace

std::unique_ptr<MediaSender> MediaSender::Create(std::shared_ptr<const RecordingFile> file,
                                                 StreamCursor::Mode mode,
                                                 MediaSettings settings) {
  UniqueFd socket = settings.tcp ? ListenTcp(0) : BindUdp();
  if (!socket.Valid()) return nullptr;
  std::unique_ptr<MediaSender> sender(
      new MediaSender(std::move(file), mode, std::move(settings), std::move(socket)));
  if (sender->serverPort_ == 0) return nullptr;
  sender->thread_ = std::thread([s = sender.get()] { s->Run(); });
  return sender;
}

MediaSender::MediaSender(std::shared_ptr<const RecordingFile> file, StreamCursor::Mode mode,
                         MediaSettings settings, UniqueFd socket)
    : settings_(std::move(settings)),
      socket_(std::move(socket)),
      serverPort_(LocalPort(socket_.Get())),
      cursor_(std::move(file), mode) {}

MediaSender::~MediaSender() {
  {
    std::lock_guard guard(lock_);
    stop_ = true;
    wake_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
}

void MediaSender::Play(std::optional<int64_t> seekTime) {
  std::lock_guard guard(lock_);
  if (seekTime) {
    cursor_.Seek(*seekTime);
    pending_.reset();
  }
  playing_ = true;
  anchored_ = false;
  wake_.notify_all();
}

void MediaSender::Pause() {
  std::lock_guard guard(lock_);
  playing_ = false;
  wake_.notify_all();
}

void MediaSender::SetScale(int scale) {
  std::lock_guard guard(lock_);
  rateNum_ = scale > 0 ? scale : 1;
  rateDen_ = scale < 0 ? -scale : 1;
  anchored_ = false;
  wake_.notify_all();
}

uint64_t MediaSender::BytesSent() {
  std::lock_guard guard(lock_);
  return bytesSent_;
}

void MediaSender::Run() {
  std::unique_lock lock(lock_);
  while (!stop_) {
    if (!playing_ || mediaClosed_) {
      wake_.wait(lock);
      continue;
    }
    if (settings_.tcp && !connection_.Valid()) {
      lock.unlock();
      UniqueFd accepted = AcceptUntil(socket_.Get(), stop_);
      lock.lock();
      connection_ = std::move(accepted);
      continue;
    }
    if (!pending_) pending_ = cursor_.Next();
    if (!pending_) {  // the end of a recording: wait for a seek
      wake_.wait(lock);
      continue;
    }
    if (!WaitUntilDue(lock, pending_->time)) continue;
    const recorder::ByteSpan bytes = pending_->bytes;
    pending_.reset();
    lock.unlock();
    const bool sent = Send(bytes);
    lock.lock();
    if (!sent) mediaClosed_ = true;
  }
}

// Waits until the piece of stream time `time` is due; false when woken for another reason
// first (the caller looks at its state again).
bool MediaSender::WaitUntilDue(std::unique_lock<std::mutex>& lock, int64_t time) {
  const auto now = std::chrono::steady_clock::now();
  if (settings_.fast) return true;
  if (!anchored_) {
    anchored_ = true;
    anchorWall_ = now;
    anchorTime_ = time;
  }
  const auto due = anchorWall_ + std::chrono::nanoseconds((time - anchorTime_) * kNsPerUnit *
                                                          rateDen_ / rateNum_);
  if (now - due > kLateLimit) {
    anchored_ = false;
    return true;
  }
  if (now >= due) return true;
  wake_.wait_until(lock, due);
  return false;
}

bool MediaSender::Send(recorder::ByteSpan bytes) {
  uint64_t before;
  {
    std::lock_guard guard(lock_);
    before = bytesSent_;
  }
  // A planned close cuts the stream at exactly the byte count asked for.
  if (settings_.closeMediaAfter > 0 && before + bytes.size() > settings_.closeMediaAfter)
    bytes = bytes.first(settings_.closeMediaAfter - before);
  const bool sent =
      settings_.tcp
          ? SendAll(connection_.Get(),
                    std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                    stop_)
          : SendDatagrams(bytes);
  if (!sent) return false;
  const uint64_t after = before + bytes.size();
  {
    std::lock_guard guard(lock_);
    bytesSent_ = after;
  }
  ApplyByteFaults(before, after);
  return settings_.closeMediaAfter == 0 || after < settings_.closeMediaAfter;
}

bool MediaSender::SendDatagrams(recorder::ByteSpan bytes) {
  while (!bytes.empty()) {
    const size_t n = std::min(bytes.size(), kMaxDatagram);
    const ssize_t sent =
        ::sendto(socket_.Get(), bytes.data(), n, 0,
                 reinterpret_cast<const sockaddr*>(&settings_.client), sizeof settings_.client);
    // A client that is not listening (yet) makes a datagram bounce; that is no failure.
    if (sent < 0 && errno != ECONNREFUSED) return false;
    bytes = bytes.subspan(n);
    if (settings_.fast) std::this_thread::sleep_for(kFastDatagramGap);
  }
  return true;
}

void MediaSender::ApplyByteFaults(uint64_t before, uint64_t after) {
  if (settings_.closeMediaAfter > 0 && after >= settings_.closeMediaAfter) connection_.Reset();
  const uint64_t limit = settings_.closeControlAfter;
  if (limit > 0 && before < limit && after >= limit && settings_.closeControl)
    settings_.closeControl();
}

}  // namespace recsim
