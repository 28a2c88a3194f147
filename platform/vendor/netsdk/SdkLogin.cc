#include "SdkLogin.h"

#include <unistd.h>

namespace netsdk {

using devicewire::Frame;
using devicewire::PayloadReader;
using devicewire::PayloadWriter;

bool Request(int fd, uint32_t type, const std::string& payload, Frame& answer, DWORD& error) {
  if (!devicewire::SendFrame(fd, type, payload) || !devicewire::ReadFrame(fd, answer)) {
    error = RNS_ERR_NETWORK;
    return false;
  }
  if (answer.type == devicewire::kOk) return true;
  const auto code = PayloadReader(answer.payload).U32();
  error = answer.type == devicewire::kError && code ? *code : RNS_ERR_NETWORK;
  return false;
}

std::shared_ptr<SdkLogin> SdkLogin::Open(const char* host, uint16_t port, const char* user,
                                         const char* password, DWORD& error) {
  if (host == nullptr || user == nullptr || password == nullptr) {
    error = RNS_ERR_PARAMETER;
    return nullptr;
  }
  const int fd = devicewire::ConnectTcp(host, port, kAnswerTimeout);
  if (fd < 0) {
    error = RNS_ERR_CONNECT;
    return nullptr;
  }
  devicewire::SetReceiveTimeout(fd, kAnswerTimeout);
  Frame answer;
  const std::string request = PayloadWriter().Text(user).Text(password).Bytes();
  std::optional<uint32_t> session;
  if (Request(fd, devicewire::kLogin, request, answer, error) &&
      !(session = PayloadReader(answer.payload).U32()))
    error = RNS_ERR_NETWORK;
  if (!session) {
    ::close(fd);
    return nullptr;
  }
  return std::shared_ptr<SdkLogin>(new SdkLogin(host, port, fd, *session));
}

SdkLogin::~SdkLogin() {
  if (fd_ >= 0) ::close(fd_);
}

bool SdkLogin::Control(uint32_t stream, uint32_t command, uint32_t value, uint32_t& out,
                       DWORD& error) {
  std::lock_guard guard(lock_);
  if (fd_ < 0) {
    error = RNS_ERR_NOT_LOGGED_IN;
    return false;
  }
  Frame answer;
  const std::string request = PayloadWriter().U32(stream).U32(command).U32(value).Bytes();
  if (!Request(fd_, devicewire::kControl, request, answer, error)) return false;
  out = PayloadReader(answer.payload).U32().value_or(0);
  return true;
}

bool SdkLogin::Logout(DWORD& error) {
  std::lock_guard guard(lock_);
  if (fd_ < 0) {
    error = RNS_ERR_NOT_LOGGED_IN;
    return false;
  }
  Frame answer;
  const bool said = Request(fd_, devicewire::kLogout, {}, answer, error);
  ::close(fd_);
  fd_ = -1;
  return said;
}

}  // namespace netsdk
