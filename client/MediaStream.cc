#include "MediaStream.h"

#include <vector>

#include "DebugTrace.h"

namespace streamclient {

namespace {
constexpr size_t kReceiveBufferSize = 5120;
constexpr size_t kReceiveOffset = 12;  // room in front of the data, as the buffer layout keeps
constexpr int kMaxBlock = static_cast<int>(kReceiveBufferSize - kReceiveOffset);
constexpr int kFailedReadPauseMs = 20;  // a failing socket would otherwise be read in a loop
}  // namespace

int MediaStream::Open(const Host& host, const TransportParams& params) {
  window_ = host.window;
  callback_ = host.callback;
  contact_ = host.contact;
  userData_ = host.userData;
  if ((host.window == 0 && host.callback == nullptr) || host.contact.handle < 0) return -1;
  if (!channel_.Open(params)) return -1;
  if (params.transport == MediaTransport::kTcp && !channel_.Connect()) {
    DebugTrace("zxq--------TCP RTP Connect failed!\n");
    channel_.Close();
    return -1;
  }
  return 0;
}

int MediaStream::StartReceiving() {
  try {
    std::thread([self = shared_from_this()] { self->Receive(); }).detach();
  } catch (const std::system_error&) {
    channel_.Close();
    return -1;
  }
  running_ = true;
  return 0;
}

void MediaStream::RequestStop() {
  stop_ = true;
  wake_.Set();
  deliver_.Signal();
}

void MediaStream::WaitStopped(int waitMs) {
  // A host that stops the player from inside a data callback runs on the receive thread,
  // which ends once the callback returns.
  if (!running_ || receiver_.load() == std::this_thread::get_id()) return;
  exited_.WaitFor(waitMs);
}

int MediaStream::SetWindow(int window) {
  window_ = window;
  return player_.Reopen(window);
}

void MediaStream::Receive() {
  receiver_ = std::this_thread::get_id();
  try {
    ReceiveLoop();
  } catch (...) {
    DebugTrace("zxq--------trans_wrapper svc exception!\n");
  }
  player_.Stop();
  player_.Close();
  channel_.Close();
  exited_.Signal();
}

void MediaStream::ReceiveLoop() {
  while (!stop_ && !deliver_.WaitFor(kReceiveWaitMs)) {
  }
  std::vector<uint8_t> buffer(kReceiveBufferSize);
  uint8_t* const block = buffer.data() + kReceiveOffset;
  while (!stop_) {
    // No busy poll: the thread sleeps until data comes or RequestStop() wakes it.
    if (WaitReadable(channel_.GetSocket(), kReceiveWaitMs, wake_) == WaitResult::kTimedOut)
      continue;
    int length = 0;
    switch (channel_.Read(block, kMaxBlock, length)) {
      case ReadOutcome::kData:
        Deliver(block, length);
        break;
      case ReadOutcome::kDropped:
        if (dropped_++ == 0) DebugTrace("zxq--------dropped a datagram from an unknown sender!\n");
        break;
      case ReadOutcome::kClosed:
        DebugTrace("zxq--------media connection closed by the server!\n");
        if (!stop_) contact_.Disconnected();
        return;
      case ReadOutcome::kFailed:
        wake_.SleepFor(kFailedReadPauseMs);
        break;
    }
  }
}

void MediaStream::Deliver(uint8_t* block, int length) {
  if (window_ != 0) player_.Input(block, length);
  if (DataCallBack callback = callback_) {
    try {
      callback(contact_.handle, userData_, DATA_STREAM, block, length);
    } catch (...) {
      DebugTrace("zxqtest----------------haha!\n");
    }
  }
}

}  // namespace streamclient
