#include "SocketOps.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace streamclient {

namespace {
WaitResult WaitFor(int fd, short events, int timeoutMs) {
  pollfd entry{fd, events, 0};
  int result;
  do {
    result = ::poll(&entry, 1, timeoutMs);
  } while (result < 0 && errno == EINTR);
  if (result <= 0) return WaitResult::kTimedOut;
  return (entry.revents & events) ? WaitResult::kReady : WaitResult::kNotMarked;
}

bool SetBlocking(int fd, bool blocking) {
  const int flags = ::fcntl(fd, F_GETFL, 0);
  if (flags < 0) return false;
  return ::fcntl(fd, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}
}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    Reset();
    fd_ = other.Release();
  }
  return *this;
}

int UniqueFd::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void UniqueFd::Reset() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

WaitResult WaitReadable(int fd, int timeoutMs) { return WaitFor(fd, POLLIN, timeoutMs); }
WaitResult WaitWritable(int fd, int timeoutMs) { return WaitFor(fd, POLLOUT, timeoutMs); }

WakeEvent::WakeEvent() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void WakeEvent::Set() {
  if (!fd_.Valid()) return;
  const uint64_t one = 1;
  ssize_t written;
  do {
    written = ::write(fd_.Get(), &one, sizeof one);
  } while (written < 0 && errno == EINTR);
}

void WakeEvent::SleepFor(int timeoutMs) const {
  pollfd entry{fd_.Get(), POLLIN, 0};
  while (::poll(&entry, 1, timeoutMs) < 0 && errno == EINTR) {
  }
}

WaitResult WaitReadable(int fd, int timeoutMs, const WakeEvent& wake) {
  pollfd entries[2] = {{fd, POLLIN, 0}, {wake.Fd(), POLLIN, 0}};
  int result;
  do {
    result = ::poll(entries, 2, timeoutMs);
  } while (result < 0 && errno == EINTR);
  if (result <= 0 || entries[1].revents != 0) return WaitResult::kTimedOut;
  return (entries[0].revents & POLLIN) ? WaitResult::kReady : WaitResult::kNotMarked;
}

std::optional<in_addr> ParseIPv4(std::string_view host) {
  in_addr address{};
  if (::inet_pton(AF_INET, std::string(host).c_str(), &address) != 1) return std::nullopt;
  return address;
}

sockaddr_in MakeAddress(in_addr address, uint16_t port) {
  sockaddr_in socketAddress{};
  socketAddress.sin_family = AF_INET;
  socketAddress.sin_port = htons(port);
  socketAddress.sin_addr = address;
  return socketAddress;
}

bool ConnectWithin(int fd, const sockaddr_in& address, int timeoutMs) {
  if (!SetBlocking(fd, false)) return false;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno != EINPROGRESS) return false;
    if (WaitWritable(fd, timeoutMs) != WaitResult::kReady) return false;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) return false;
  }
  return SetBlocking(fd, true);
}

bool SendAll(int fd, const char* data, size_t length, int timeoutMs) {
  size_t sent = 0;
  while (sent < length) {
    if (WaitWritable(fd, timeoutMs) != WaitResult::kReady) return false;
    const ssize_t n = ::send(fd, data + sent, length - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace streamclient
