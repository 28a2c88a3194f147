#include "HostCalls.h"

#include <iterator>

namespace streamclient {

void HostContact::OpenSucceeded(int totalTime) const {
  if (sink) {
    sink->OnTotalTime(totalTime);
    sink->OnPresentationOpened(1);
  }
  if (messages) {
    messages(handle, MSG_TOTAL_TIME, totalTime, 0);
    messages(handle, MSG_OPEN_RESULT, 1, 0);
  }
}

void HostContact::OpenFailed() const {
  if (sink) sink->OnPresentationOpened(0);
  if (messages) messages(handle, MSG_OPEN_RESULT, 0, 0);
}

void HostContact::Disconnected() const {
  if (sink) sink->OnDisconnected();
  if (messages) messages(handle, MSG_DISCONNECTED, 0, 0);
}

void HostCalls::Append(HostCalls&& other) {
  calls_.insert(calls_.end(), std::make_move_iterator(other.calls_.begin()),
                std::make_move_iterator(other.calls_.end()));
  other.calls_.clear();
}

void HostCalls::Run() {
  // Taken out first: a call may end the player whose list this is.
  std::vector<std::function<void()>> calls;
  calls.swap(calls_);
  for (const auto& call : calls) call();
}

}  // namespace streamclient
