#include "FrameReceiver.h"

#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace devicewire {

// Shared between the owner and the reader thread, so a thread left to end by itself (Stop
// from inside a delivery) never outlives what it touches.
struct FrameReceiver::State {
  explicit State(int socket) : fd(socket) {}
  ~State() { ::close(fd); }

  void Run();
  bool OnOwnThread() const { return std::this_thread::get_id() == threadId; }
  void WaitIdle(std::unique_lock<std::mutex>& guard) {
    if (!OnOwnThread()) idle.wait(guard, [this] { return !delivering; });
  }

  const int fd;  // closed only by the destructor; shut down by Stop to wake the reader
  std::thread thread;
  std::thread::id threadId;  // written before the thread starts

  std::mutex sendLock;  // one frame at a time on the way out
  mutable std::mutex lock;
  std::condition_variable wake;  // a target was set or stop was asked
  std::condition_variable idle;  // a delivery returned
  Target target;            // guarded by lock
  bool delivering = false;  // guarded by lock
  bool stopping = false;    // guarded by lock
  bool ended = false;       // guarded by lock
};

void FrameReceiver::State::Run() {
  Frame frame;
  bool more = true;
  while (more && ReadFrame(fd, frame)) {
    std::unique_lock guard(lock);
    wake.wait(guard, [this] { return stopping || target; });
    if (stopping) break;
    Target current = target;
    delivering = true;
    guard.unlock();
    more = current(frame);
    guard.lock();
    delivering = false;
    idle.notify_all();
  }
  std::lock_guard guard(lock);
  ended = true;
}

FrameReceiver::FrameReceiver(int fd) : state_(std::make_shared<State>(fd)) {
  std::lock_guard guard(state_->lock);
  state_->thread = std::thread([state = state_] { state->Run(); });
  state_->threadId = state_->thread.get_id();
}

FrameReceiver::~FrameReceiver() { Stop(); }

void FrameReceiver::SetTarget(Target target) {
  std::unique_lock guard(state_->lock);
  state_->target = std::move(target);
  state_->wake.notify_all();
  state_->WaitIdle(guard);
}

void FrameReceiver::Stop() {
  std::unique_lock guard(state_->lock);
  state_->stopping = true;
  state_->wake.notify_all();
  ::shutdown(state_->fd, SHUT_RDWR);
  if (state_->OnOwnThread()) {
    if (state_->thread.joinable()) state_->thread.detach();
    return;
  }
  // The first caller joins; a second one only waits for the delivery to return.
  std::thread reader = std::move(state_->thread);
  if (!reader.joinable()) {
    state_->WaitIdle(guard);
    return;
  }
  guard.unlock();
  reader.join();
}

bool FrameReceiver::Send(uint32_t type, std::string_view payload) {
  std::lock_guard guard(state_->sendLock);
  return SendFrame(state_->fd, type, payload);
}

bool FrameReceiver::Ended() const {
  std::lock_guard guard(state_->lock);
  return state_->ended;
}

}  // namespace devicewire
