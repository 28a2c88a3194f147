// A media stream's channel: its transport type and the one socket of that type. Close()
// releases the socket at once while the object itself may live on with its stream.
#pragma once

#include <memory>

#include "MediaSocket.h"

namespace streamclient {

class MediaChannel {
 public:
  // Creates and binds the socket; false (and the "RTP Open failed" trace) on failure.
  bool Open(const TransportParams& params);
  bool Connect() { return socket_->Connect(); }
  int Recv(uint8_t* buffer, int size) { return socket_->Recv(buffer, size); }
  int GetSocket() const { return socket_->GetSocket(); }
  MediaTransport Type() const { return type_; }
  void Close() { socket_.reset(); }

 private:
  MediaTransport type_ = MediaTransport::kUdp;
  std::unique_ptr<MediaSocket> socket_;
};

}  // namespace streamclient
