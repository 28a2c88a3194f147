// The socket that carries one session's media: UDP datagrams from the session's server, or a
// TCP connection of its own from the client port to the server's media port (the media is not
// interleaved with the control connection).
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <memory>

#include "SocketOps.h"

namespace streamclient {

enum class MediaTransport { kUdp = 0, kTcp = 1 };

// The media transport parameters a session hands to its media stream.
struct TransportParams {
  MediaTransport transport = MediaTransport::kUdp;
  uint16_t serverPort = 0;
  uint16_t clientPort = 0;
  in_addr serverAddress{};
};

// What one read of a media socket brought.
enum class ReadOutcome {
  kData,     // bytes of the stream
  kDropped,  // a datagram from another sender than the session's server, thrown away
  kClosed,   // the server closed (or reset) the TCP media connection: nothing more will come
  kFailed,   // nothing read this time
};

class MediaSocket {
 public:
  virtual ~MediaSocket() = default;
  // Reads what one receive delivers: a whole datagram, or a slice of the TCP byte stream;
  // `length` is the byte count of kData.
  virtual ReadOutcome Read(uint8_t* buffer, int size, int& length) = 0;
  virtual int GetSocket() const = 0;
  // Establishes the path to the server; nothing to do for UDP.
  virtual bool Connect() = 0;

  // A socket of the parameters' transport bound to the client port; null on failure.
  static std::unique_ptr<MediaSocket> Open(const TransportParams& params);
};

// Whether a UDP socket can be bound to `port` now (no other program holds it).
bool UdpPortIsFree(uint16_t port);

}  // namespace streamclient
