// One session's media: a channel towards the server, a receive thread, and the player SDK
// adaptor. Every block the socket delivers goes unchanged to the adaptor (when the player has
// a window) and then to the host's data callback (when one is set); the bytes are not looked
// at. A TCP media connection that the server closes ends the thread, and the host is told
// once (OnDisconnected and MSG_DISCONNECTED).
//
// Lifetime: the session holds the stream; once opened, the receive thread holds it too and,
// when it ends, closes the adaptor and the socket. RequestStop() asks the thread to end;
// WaitStopped() waits for it and is called with no library lock held, because the thread may
// be inside a host callback that calls back into the library.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "ExitSignal.h"
#include "HostCalls.h"
#include "MediaChannel.h"
#include "VidoraPlayer.h"
#include "client/StreamClient.h"

namespace streamclient {

// How long a receive waits for data before it looks at the stop flag again. RequestStop()
// wakes the wait at once, so an idle player costs no CPU; the timeout only bounds a stop whose
// wake event could not be made.
constexpr int kReceiveWaitMs = 1000;
constexpr int kStreamStopWaitMs = 10000;

class MediaStream : public std::enable_shared_from_this<MediaStream> {
 public:
  struct Host {
    HostContact contact;  // told when the server closes the TCP media connection
    int userData = -1;
    int window = 0;
    DataCallBack callback = nullptr;
  };

  // Opens the channel (and for TCP connects it); -1 when the host has neither window nor
  // callback, the handle is negative or a step fails.
  int Open(const Host& host, const TransportParams& params);
  // Starts the receive thread. It reads nothing until BeginDelivery(): the session first hands
  // the stream header to the adaptor and, once its locks are released, to the host; stream
  // bytes that arrive meanwhile wait in the socket, so the header always comes first.
  int StartReceiving();
  void BeginDelivery() { deliver_.Signal(); }
  // Asks the receive thread to end; it closes the socket and the adaptor when it does.
  void RequestStop();
  // Waits up to waitMs for the receive thread to end; returns at once on that thread itself.
  void WaitStopped(int waitMs = kStreamStopWaitMs);

  void SetDataCallBack(DataCallBack callback) { callback_ = callback; }
  // Stores the window and asks the adaptor to reopen with it as the flag.
  int SetWindow(int window);
  VidoraPlayer& Player() { return player_; }
  // Datagrams from other senders than the server, thrown away.
  uint64_t DroppedDatagrams() const { return dropped_; }

 private:
  void Receive();
  void ReceiveLoop();
  void Deliver(uint8_t* block, int length);

  HostContact contact_;                     // set by Open before the thread starts
  int userData_ = -1;                       // set by Open before the thread starts
  std::atomic<int> window_{0};
  std::atomic<DataCallBack> callback_{nullptr};
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> dropped_{0};
  WakeEvent wake_;        // set by RequestStop(), after stop_
  ExitSignal deliver_;    // the session has told the host of the open; also set on stop
  VidoraPlayer player_;
  MediaChannel channel_;  // used by the receive thread once it runs
  std::atomic<bool> running_{false};  // a receive thread was started
  std::atomic<std::thread::id> receiver_{};  // the receive thread, once it runs
  ExitSignal exited_;
};

}  // namespace streamclient
