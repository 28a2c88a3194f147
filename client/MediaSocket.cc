#include "MediaSocket.h"

#include <sys/socket.h>

namespace streamclient {

namespace {
constexpr int kLingerSeconds = 5;
constexpr int kTcpReceiveBuffer = 65536;
constexpr int kMediaConnectTimeoutMs = 4000;

class UdpMediaSocket final : public MediaSocket {
 public:
  explicit UdpMediaSocket(UniqueFd fd) : fd_(std::move(fd)) {}

  int Recv(uint8_t* buffer, int size) override {
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    return static_cast<int>(::recvfrom(fd_.Get(), buffer, static_cast<size_t>(size), 0,
                                       reinterpret_cast<sockaddr*>(&sender), &length));
  }
  int GetSocket() const override { return fd_.Get(); }
  bool Connect() override { return true; }

 private:
  UniqueFd fd_;
};

class TcpMediaSocket final : public MediaSocket {
 public:
  TcpMediaSocket(UniqueFd fd, sockaddr_in server) : fd_(std::move(fd)), server_(server) {}

  int Recv(uint8_t* buffer, int size) override {
    return static_cast<int>(::recv(fd_.Get(), buffer, static_cast<size_t>(size), 0));
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
  return std::make_unique<UdpMediaSocket>(std::move(fd));
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
