#include "MediaSocket.h"

#include <sys/socket.h>

#include <cerrno>

namespace streamclient {

namespace {
constexpr int kLingerSeconds = 5;
constexpr int kTcpReceiveBuffer = 65536;
constexpr int kMediaConnectTimeoutMs = 4000;

class UdpMediaSocket final : public MediaSocket {
 public:
  UdpMediaSocket(UniqueFd fd, in_addr server, uint16_t serverPort)
      : fd_(std::move(fd)), server_(server), serverPort_(serverPort) {}

  // Anyone who can reach the client port could otherwise inject stream bytes: only datagrams
  // from the server's address, and from its media port when the SETUP answer named one, are
  // stream data.
  ReadOutcome Read(uint8_t* buffer, int size, int& length) override {
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    const ssize_t n = ::recvfrom(fd_.Get(), buffer, static_cast<size_t>(size), 0,
                                 reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (n <= 0) return ReadOutcome::kFailed;
    if (sender.sin_family != AF_INET || sender.sin_addr.s_addr != server_.s_addr ||
        (serverPort_ != 0 && ntohs(sender.sin_port) != serverPort_)) {
      return ReadOutcome::kDropped;
    }
    length = static_cast<int>(n);
    return ReadOutcome::kData;
  }
  int GetSocket() const override { return fd_.Get(); }
  bool Connect() override { return true; }

 private:
  UniqueFd fd_;
  const in_addr server_;
  const uint16_t serverPort_;  // 0: the SETUP answer named none, any port of the server
};

class TcpMediaSocket final : public MediaSocket {
 public:
  TcpMediaSocket(UniqueFd fd, sockaddr_in server) : fd_(std::move(fd)), server_(server) {}

  ReadOutcome Read(uint8_t* buffer, int size, int& length) override {
    const ssize_t n = ::recv(fd_.Get(), buffer, static_cast<size_t>(size), 0);
    if (n > 0) {
      length = static_cast<int>(n);
      return ReadOutcome::kData;
    }
    // End of stream, or an error that leaves the connection unusable: reading again would
    // only return at once, again and again.
    if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
      return ReadOutcome::kClosed;
    return ReadOutcome::kFailed;
  }
  int GetSocket() const override { return fd_.Get(); }
  bool Connect() override { return ConnectWithin(fd_.Get(), server_, kMediaConnectTimeoutMs); }

 private:
  UniqueFd fd_;
  sockaddr_in server_;
};

sockaddr_in AnyAddress(uint16_t port) { return MakeAddress(in_addr{htonl(INADDR_ANY)}, port); }

std::unique_ptr<MediaSocket> OpenUdp(const TransportParams& params) {
  UniqueFd fd(::socket(AF_INET, SOCK_DGRAM, 0));
  if (!fd.Valid()) return nullptr;
  const sockaddr_in local = AnyAddress(params.clientPort);
  if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    return nullptr;
  }
  return std::make_unique<UdpMediaSocket>(std::move(fd), params.serverAddress, params.serverPort);
}

std::unique_ptr<MediaSocket> OpenTcp(const TransportParams& params) {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM, 0));
  if (!fd.Valid()) return nullptr;
  const int on = 1;
  if (::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) return nullptr;
  const linger lingerOption{1, kLingerSeconds};
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_LINGER, &lingerOption, sizeof lingerOption);
  // A client port that cannot be bound is not fatal: the system then picks the local port.
  const sockaddr_in local = AnyAddress(params.clientPort);
  (void)::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local);
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVBUF, &kTcpReceiveBuffer, sizeof kTcpReceiveBuffer);
  return std::make_unique<TcpMediaSocket>(std::move(fd),
                                          MakeAddress(params.serverAddress, params.serverPort));
}
}  // namespace

bool UdpPortIsFree(uint16_t port) {
  UniqueFd fd(::socket(AF_INET, SOCK_DGRAM, 0));
  const sockaddr_in local = AnyAddress(port);
  return fd.Valid() &&
         ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

std::unique_ptr<MediaSocket> MediaSocket::Open(const TransportParams& params) {
  return params.transport == MediaTransport::kTcp ? OpenTcp(params) : OpenUdp(params);
}

}  // namespace streamclient
