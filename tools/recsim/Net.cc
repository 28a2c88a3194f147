#include "Net.h"

#include <arpa/inet.h>
#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace recsim {
namespace {

// How long a blocking step waits before it looks at its stop flag again.
constexpr std::chrono::milliseconds kStopCheck{50};
constexpr int kListenBacklog = 16;

bool WaitFor(int fd, short events, std::chrono::milliseconds timeout) {
  pollfd entry{fd, events, 0};
  const int ready = ::poll(&entry, 1, static_cast<int>(timeout.count()));
  return ready > 0 && (entry.revents & (events | POLLERR | POLLHUP)) != 0;
}

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

UniqueFd ListenTcp(uint16_t port) {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) return fd;
  const int on = 1;
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const sockaddr_in address = Loopback(port);
  if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd.Get(), kListenBacklog) != 0)
    return UniqueFd();
  return fd;
}

UniqueFd BindUdp() {
  UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) return fd;
  const sockaddr_in address = Loopback(0);
  if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    return UniqueFd();
  return fd;
}

uint16_t LocalPort(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

bool WaitReadable(int fd, std::chrono::milliseconds timeout) {
  return WaitFor(fd, POLLIN, timeout);
}
bool WaitWritable(int fd, std::chrono::milliseconds timeout) {
  return WaitFor(fd, POLLOUT, timeout);
}

UniqueFd AcceptUntil(int listener, const std::atomic<bool>& stop) {
  while (!stop) {
    if (!WaitReadable(listener, kStopCheck)) continue;
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) return UniqueFd(fd);
  }
  return UniqueFd();
}

bool SendAll(int fd, std::string_view bytes, const std::atomic<bool>& stop) {
  while (!bytes.empty()) {
    if (stop) return false;
    if (!WaitWritable(fd, kStopCheck)) continue;
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

}  // namespace recsim
