#include "VidoraPort.h"

#include <algorithm>

#include "FrameSink.h"

namespace vidora {
namespace {

// The playing thread moves the source buffer into the group assembler in pieces of this
// size, so a full source buffer is not copied at once.
constexpr size_t kSourceTakeChunk = 64 * 1024;

// A group larger than this is taken for damage. Recorder groups hold one or a few frames.
constexpr size_t kMaxGroupSize = 4 * 1024 * 1024;

// Frame duration used until a group names its frame rate (25 frames per second).
constexpr int64_t kDefaultFrameDuration = recorder::kUnitsPerSecond / 25;
constexpr int64_t kUnitsPerMs = 10'000;

}  // namespace

std::unique_ptr<VidoraPort> VidoraPort::Open(recorder::ByteSpan header,
                                             const PortOptions& options) {
  const auto fileHeader = recorder::ParseFileHeader(header);
  if (!fileHeader) return nullptr;
  auto decoder = vendor::RecorderVideoDecoder::Create(fileHeader->magic);
  if (!decoder) return nullptr;
  return std::unique_ptr<VidoraPort>(new VidoraPort(options, std::move(decoder)));
}

VidoraPort::VidoraPort(const PortOptions& options,
                       std::unique_ptr<vendor::RecorderVideoDecoder> decoder)
    : options_(options),
      assembler_(kMaxGroupSize),
      decoder_(std::move(decoder)),
      frameDuration_(kDefaultFrameDuration) {}

VidoraPort::~VidoraPort() {
  EndThread();
  DiscardDecoded();
}

bool VidoraPort::Input(recorder::ByteSpan bytes) {
  std::lock_guard guard(lock_);
  if (bytes.size() > options_.sourceBufferSize - source_.size()) return false;
  source_.insert(source_.end(), bytes.begin(), bytes.end());
  wake_.notify_all();
  return true;
}

void VidoraPort::ResetSource() {
  std::lock_guard guard(lock_);
  source_.clear();
  discardRequested_ = true;
  wake_.notify_all();
}

bool VidoraPort::Play(HWND window) {
  if (IsPlayingThread()) return false;
  std::lock_guard threadGuard(threadLock_);
  {
    std::lock_guard guard(lock_);
    window_ = window;
    if (state_ == State::Paused) clock_.Restart();
    const bool running = state_ != State::Stopped;
    state_ = State::Playing;
    wake_.notify_all();
    if (running) return true;
    clock_.Reset();
  }
  thread_ = std::thread([this] { Run(); });
  return true;
}

bool VidoraPort::Pause(bool pause) {
  std::lock_guard guard(lock_);
  if (state_ == State::Stopped) return false;
  if (!pause && state_ == State::Paused) clock_.Restart();
  state_ = pause ? State::Paused : State::Playing;
  wake_.notify_all();
  return true;
}

bool VidoraPort::Stop() {
  if (IsPlayingThread()) return false;
  EndThread();
  return true;
}

DWORD VidoraPort::PlayedMs() {
  std::lock_guard guard(lock_);
  return static_cast<DWORD>(clock_.PlayedMs());
}

bool VidoraPort::Faster() {
  std::lock_guard guard(lock_);
  return options_.openMode == VIDORA_STREAM_FILE && clock_.Faster();
}

bool VidoraPort::Slower() {
  std::lock_guard guard(lock_);
  return options_.openMode == VIDORA_STREAM_FILE && clock_.Slower();
}

bool VidoraPort::Refresh() {
  HWND window;
  {
    std::lock_guard guard(lock_);
    window = window_;
  }
  std::lock_guard guard(pictureLock_);
  if (last_->Empty()) return false;
  PaintFrameSink(window, last_->AsFramePicture());
  return true;
}

bool VidoraPort::IsPlayingThread() const {
  return playingThread_.load() == std::this_thread::get_id();
}

void VidoraPort::EndThread() {
  std::lock_guard threadGuard(threadLock_);
  {
    std::lock_guard guard(lock_);
    quit_ = true;
    wake_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  std::lock_guard guard(lock_);
  quit_ = false;
  state_ = State::Stopped;
  window_ = 0;
  clock_.Reset();
}

void VidoraPort::Run() {
  playingThread_ = std::this_thread::get_id();
  std::unique_lock lock(lock_);
  while (!quit_) {
    if (discardRequested_) {
      discardRequested_ = false;
      lock.unlock();
      DiscardDecoded();
      lock.lock();
    } else if (state_ == State::Paused) {
      wake_.wait(lock);
    } else if (pending_.empty()) {
      if (!DecodeNextGroup(lock)) wake_.wait(lock);
    } else if (const auto now = PaceClock::Clock::now(); now < clock_.Due(now)) {
      wake_.wait_until(lock, clock_.Due(now));
    } else {
      Pending next = pending_.front();
      pending_.pop_front();
      const HWND window = window_;
      lock.unlock();
      Present(next, window);
      lock.lock();
      clock_.Presented(next.duration, PaceClock::Clock::now());
    }
  }
  lock.unlock();
  DiscardDecoded();
  playingThread_ = std::thread::id();
}

// Decodes the next complete group, first moving source bytes into the assembler if it has
// none. False when there is nothing to work on until more data arrives.
bool VidoraPort::DecodeNextGroup(std::unique_lock<std::mutex>& lock) {
  lock.unlock();
  auto group = assembler_.Next();
  lock.lock();
  if (!group) {
    if (source_.empty()) return false;
    const size_t take = std::min(source_.size(), kSourceTakeChunk);
    std::vector<uint8_t> chunk(source_.begin(), source_.begin() + static_cast<ptrdiff_t>(take));
    source_.erase(source_.begin(), source_.begin() + static_cast<ptrdiff_t>(take));
    lock.unlock();
    assembler_.Append(chunk);
    lock.lock();
    return true;
  }
  lock.unlock();
  frameDuration_ = recorder::FrameDuration(group->header.frameRateCode, frameDuration_);
  decoder_->SetSkipBFrames(skipBFrames_);
  const int64_t duration = frameDuration_;
  const auto queue = [this, duration](const AVFrame& frame) { QueueFrame(frame, duration); };
  for (int n = 0;; ++n) {
    const auto block = recorder::NthVideoBlock(*group, n);
    if (!block) break;
    // A damaged payload is refused by the decoder; the next key frame recovers.
    (void)decoder_->Decode(recorder::ByteSpan(block->payload, block->PayloadSize()),
                           streamTime_ / kUnitsPerMs, queue);
    streamTime_ += duration;
  }
  lock.lock();
  return true;
}

void VidoraPort::QueueFrame(const AVFrame& frame, int64_t duration) {
  AVFrame* copy = av_frame_clone(&frame);
  if (copy != nullptr) pending_.push_back({copy, duration});
}

void VidoraPort::DiscardDecoded() {
  for (Pending& pending : pending_) av_frame_free(&pending.frame);
  pending_.clear();
  assembler_.Reset();
  decoder_->Reset();
  streamTime_ = 0;
}

void VidoraPort::Present(Pending pending, HWND window) {
  const bool converted = current_->Assign(*pending.frame);
  av_frame_free(&pending.frame);
  if (!converted) return;
  if (const VidoraDisplayCallBack callback = options_.displayCallBack->load()) {
    callback(options_.port, current_->Data(), static_cast<LONG>(current_->Size()),
             current_->Width(), current_->Height(), static_cast<LONG>(current_->TimeMs()),
             VIDORA_FRAME_YV12, 0);
  }
  PaintFrameSink(window, current_->AsFramePicture());
  std::lock_guard guard(pictureLock_);
  std::swap(current_, last_);
}

}  // namespace vidora
