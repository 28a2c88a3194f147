// A media stream's channel: the one socket of the session's transport. Close()
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
  ReadOutcome Read(uint8_t* buffer, int size, int& length) {
    return socket_->Read(buffer, size, length);
  }
  int GetSocket() const { return socket_->GetSocket(); }
  void Close() { socket_.reset(); }

 private:
  std::unique_ptr<MediaSocket> socket_;
};

}  // namespace streamclient
