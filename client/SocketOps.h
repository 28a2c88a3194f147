// POSIX socket helpers shared by the control connection and the media sockets: an owning file
// descriptor, readiness waits, a connect bounded in time and a send that delivers everything
// or fails.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <optional>
#include <string_view>

namespace streamclient {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release();
  void Reset();

 private:
  int fd_ = -1;
};

enum class WaitResult {
  kReady,      // the socket is marked for the asked event
  kTimedOut,   // the wait timed out or failed
  kNotMarked,  // the wait returned but the socket is not marked (an error or hang-up alone)
};

WaitResult WaitReadable(int fd, int timeoutMs);
WaitResult WaitWritable(int fd, int timeoutMs);

// An event another thread sets to end a wait at once, so a waiting thread needs no timeout
// to notice that it should stop. Once set it stays set.
class WakeEvent {
 public:
  WakeEvent();
  void Set();
  // Sleeps up to timeoutMs unless the event is or becomes set.
  void SleepFor(int timeoutMs) const;
  int Fd() const { return fd_.Get(); }

 private:
  UniqueFd fd_;  // an eventfd; without one, waits just run to their timeout
};

// Waits for `fd` to become readable; kTimedOut also when `wake` was set.
WaitResult WaitReadable(int fd, int timeoutMs, const WakeEvent& wake);

// A dotted IPv4 address; host names are not resolved.
std::optional<in_addr> ParseIPv4(std::string_view host);
sockaddr_in MakeAddress(in_addr address, uint16_t port);

// Connects without blocking longer than timeoutMs and leaves the socket blocking again.
bool ConnectWithin(int fd, const sockaddr_in& address, int timeoutMs);

// Sends all bytes, waiting up to timeoutMs for writability before each piece. A request that
// went out only in part is a failure: the peer cannot make sense of the rest.
bool SendAll(int fd, const char* data, size_t length, int timeoutMs);

}  // namespace streamclient
