#include "DeviceWire.h"

#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace devicewire {
namespace {

void PutU32(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}

uint32_t GetU32(const char* bytes) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[i]);
  return value;
}

bool SendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

bool ReadAll(int fd, char* data, size_t size) {
  while (size > 0) {
    const ssize_t got = ::recv(fd, data, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

bool WaitConnected(int fd, std::chrono::milliseconds timeout) {
  pollfd entry{fd, POLLOUT, 0};
  if (::poll(&entry, 1, static_cast<int>(timeout.count())) <= 0) return false;
  int error = 0;
  socklen_t length = sizeof error;
  return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

}  // namespace

PayloadWriter& PayloadWriter::U8(uint8_t value) {
  bytes_ += static_cast<char>(value);
  return *this;
}

PayloadWriter& PayloadWriter::U32(uint32_t value) {
  PutU32(bytes_, value);
  return *this;
}

PayloadWriter& PayloadWriter::Text(std::string_view text) {
  if (text.size() > 0xFFFF) text = text.substr(0, 0xFFFF);
  bytes_ += static_cast<char>(text.size() & 0xFF);
  bytes_ += static_cast<char>(text.size() >> 8);
  bytes_ += text;
  return *this;
}

std::optional<uint8_t> PayloadReader::U8() {
  if (rest_.empty()) return std::nullopt;
  const auto value = static_cast<uint8_t>(rest_[0]);
  rest_.remove_prefix(1);
  return value;
}

std::optional<uint32_t> PayloadReader::U32() {
  if (rest_.size() < 4) return std::nullopt;
  const uint32_t value = GetU32(rest_.data());
  rest_.remove_prefix(4);
  return value;
}

std::optional<std::string> PayloadReader::Text() {
  if (rest_.size() < 2) return std::nullopt;
  const size_t size =
      static_cast<uint8_t>(rest_[0]) | (static_cast<size_t>(static_cast<uint8_t>(rest_[1])) << 8);
  if (rest_.size() - 2 < size) return std::nullopt;
  std::string text(rest_.substr(2, size));
  rest_.remove_prefix(2 + size);
  return text;
}

std::string FrameHeader(uint32_t type, uint32_t payloadSize) {
  std::string bytes;
  PutU32(bytes, type);
  PutU32(bytes, payloadSize);
  return bytes;
}

bool SendFrame(int fd, uint32_t type, std::string_view payload) {
  if (payload.size() > kMaxPayload) return false;
  std::string frame = FrameHeader(type, static_cast<uint32_t>(payload.size()));
  frame += payload;
  return SendAll(fd, frame.data(), frame.size());
}

bool ReadFrame(int fd, Frame& frame) {
  char head[kFrameHeaderSize];
  if (!ReadAll(fd, head, sizeof head)) return false;
  const uint32_t size = GetU32(head + 4);
  if (size > kMaxPayload) return false;
  frame.type = GetU32(head);
  frame.payload.resize(size);
  return ReadAll(fd, frame.payload.data(), size);
}

int ConnectTcp(const char* host, uint16_t port, std::chrono::milliseconds timeout) {
  if (host == nullptr) return -1;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host, std::to_string(port).c_str(), &hints, &found) != 0) return -1;
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd >= 0) {
    const int started = ::connect(fd, found->ai_addr, found->ai_addrlen);
    if ((started != 0 && (errno != EINPROGRESS || !WaitConnected(fd, timeout))) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
      ::close(fd);
      fd = -1;
    }
  }
  ::freeaddrinfo(found);
  return fd;
}

void SetReceiveTimeout(int fd, std::chrono::milliseconds timeout) {
  timeval value{};
  value.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  value.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value);
}

}  // namespace devicewire
