// FrameReceiver: the receiving side of one stream connection. A thread of its own reads the
// frames and hands each to the current target; while there is no target the frame waits
// (and with it the sender, through TCP's flow control), so nothing is lost.
//
// The guarantees the libraries' stop calls make rest on this class: SetTarget and Stop return
// only once a delivery running on another thread has returned, so no delivery starts after
// they return. Called from inside a delivery (on the receiver's own thread) they do not wait
// for it; Stop then lets the thread end by itself once the delivery returns.
#pragma once

#include <functional>
#include <memory>

#include "DeviceWire.h"

namespace devicewire {

class FrameReceiver {
 public:
  // A target returns false to end the stream (a frame it cannot accept).
  using Target = std::function<bool(const Frame&)>;

  // Takes the connected socket; frames are read from the start on.
  explicit FrameReceiver(int fd);
  ~FrameReceiver();  // Stop()
  FrameReceiver(const FrameReceiver&) = delete;
  FrameReceiver& operator=(const FrameReceiver&) = delete;

  // Replaces the target (an empty one holds delivery back).
  void SetTarget(Target target);
  // Sends a frame on the connection (any thread); false once it is closed.
  bool Send(uint32_t type, std::string_view payload);
  // Ends the stream: closes the connection and waits as above. Idempotent.
  void Stop();
  // The stream has ended by itself (end of connection or a refused frame).
  bool Ended() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace devicewire
