// Small POSIX socket helpers for the simulator: owned descriptors, loopback listeners and
// UDP senders, and sends that give up when asked to stop.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string_view>

namespace recsim {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1);

 private:
  int fd_ = -1;
};

// A TCP listener on 127.0.0.1:`port` (0: any free port).
UniqueFd ListenTcp(uint16_t port);
// A UDP socket bound to 127.0.0.1, any free port.
UniqueFd BindUdp();
// The local port a socket is bound to (0 on failure).
uint16_t LocalPort(int fd);

// Waits up to `timeout` for the descriptor to become readable (or writable).
bool WaitReadable(int fd, std::chrono::milliseconds timeout);
bool WaitWritable(int fd, std::chrono::milliseconds timeout);

// Accepts one connection, waiting in short steps until `stop` is set.
UniqueFd AcceptUntil(int listener, const std::atomic<bool>& stop);

// Sends all bytes on a stream socket, waiting in short steps; false when the peer is gone
// or `stop` was set first.
bool SendAll(int fd, std::string_view bytes, const std::atomic<bool>& stop);

}  // namespace recsim
