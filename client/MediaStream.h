// One session's media: a channel towards the server, a receive thread, and the player SDK
// adaptor. Every block the socket delivers goes unchanged to the adaptor (when the player has
// a window) and then to the host's data callback (when one is set); the bytes are not looked
// at.
//
// Lifetime: the session holds the stream; once opened, the receive thread holds it too and,
// when it ends, closes the adaptor and the socket. Stop() asks the thread to end and waits for
// it; afterwards the session forgets the stream.
#pragma once

#include <atomic>
#include <memory>

#include "ExitSignal.h"
#include "MediaChannel.h"
#include "VidoraPlayer.h"
#include "client/StreamClient.h"

namespace streamclient {

// How long a receive waits for data before it looks at the stop flag again. Stop() wakes the
// wait at once, so an idle player costs no CPU; the timeout only bounds a stop whose wake
// event could not be made.
constexpr int kReceiveWaitMs = 1000;
constexpr int kStreamStopWaitMs = 10000;

class MediaStream : public std::enable_shared_from_this<MediaStream> {
 public:
  struct Host {
    int handle = -1;
    int userData = -1;
    int window = 0;
    DataCallBack callback = nullptr;
  };

  // Opens the channel (and for TCP connects it); -1 when the host has neither window nor
  // callback, the handle is negative or a step fails.
  int Open(const Host& host, const TransportParams& params);
  // Starts the receive thread. Kept apart from Open so that the session can hand the stream
  // header to the adaptor and the host first: stream bytes that arrive meanwhile wait in the
  // socket, so the header always comes before them.
  int StartReceiving();
  // Asks the receive thread to end and waits up to waitMs for it.
  void Stop(int waitMs = kStreamStopWaitMs);

  void SetDataCallBack(DataCallBack callback) { callback_ = callback; }
  // Stores the window and asks the adaptor to reopen with it as the flag.
  int SetWindow(int window);
  VidoraPlayer& Player() { return player_; }

 private:
  void Receive();
  void ReceiveLoop();

  int handle_ = -1;                         // set by Open before the thread starts
  int userData_ = -1;                       // set by Open before the thread starts
  std::atomic<int> window_{0};
  std::atomic<DataCallBack> callback_{nullptr};
  std::atomic<bool> stop_{false};
  WakeEvent wake_;  // set by Stop(), after stop_
  VidoraPlayer player_;
  MediaChannel channel_;  // used by the receive thread once it runs
  bool running_ = false;  // a receive thread was started; set and read by the owner only
  ExitSignal exited_;
};

}  // namespace streamclient
