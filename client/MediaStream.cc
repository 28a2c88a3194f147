#include "MediaStream.h"

#include <thread>
#include <vector>

#include "DebugTrace.h"

namespace streamclient {

namespace {
constexpr size_t kReceiveBufferSize = 5120;
constexpr size_t kReceiveOffset = 12;  // room in front of the data, as the buffer layout keeps
constexpr int kMaxBlock = static_cast<int>(kReceiveBufferSize - kReceiveOffset);
constexpr int kFailedReadPauseMs = 20;  // a broken connection reads 0 at once, again and again
}  // namespace

int MediaStream::Open(const Host& host, const TransportParams& params) {
  window_ = host.window;
  callback_ = host.callback;
  handle_ = host.handle;
  userData_ = host.userData;
  if ((host.window == 0 && host.callback == nullptr) || host.handle < 0) return -1;
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

void MediaStream::Stop(int waitMs) {
  stop_ = true;
  wake_.Set();
  if (running_) exited_.WaitFor(waitMs);
}

int MediaStream::SetWindow(int window) {
  window_ = window;
  return player_.Reopen(window);
}

void MediaStream::Receive() {
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
  std::vector<uint8_t> buffer(kReceiveBufferSize);
  uint8_t* const block = buffer.data() + kReceiveOffset;
  while (!stop_) {
    // No busy poll: the thread sleeps until data comes or Stop() wakes it.
    if (WaitReadable(channel_.GetSocket(), kReceiveWaitMs, wake_) == WaitResult::kTimedOut)
      continue;
    const int n = channel_.Recv(block, kMaxBlock);
    if (n <= 0) {
      wake_.SleepFor(kFailedReadPauseMs);
      continue;
    }
    if (window_ != 0) player_.Input(block, n);
    if (DataCallBack callback = callback_) {
      try {
        callback(handle_, userData_, DATA_STREAM, block, n);
      } catch (...) {
        DebugTrace("zxqtest----------------haha!\n");
      }
    }
  }
}

}  // namespace streamclient
