// SdkLogin: one login on a recorder, holding its control connection. Requests on it are
// answered in turn, so one lock serialises them; stream data never travels on it, so a
// playback command is answered even while the stream waits for its callback.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "DeviceWire.h"
#include "RecorderNetSdk.h"

namespace netsdk {

// How long the library waits for a recorder to accept a connection or answer a request.
constexpr std::chrono::milliseconds kAnswerTimeout{5000};

// Sends one request and reads its answer; false with an RNS_ERR_ code unless it is OK.
bool Request(int fd, uint32_t type, const std::string& payload, devicewire::Frame& answer,
             DWORD& error);

class SdkLogin {
 public:
  // Connects and logs in; nullptr with an RNS_ERR_ code on failure.
  static std::shared_ptr<SdkLogin> Open(const char* host, uint16_t port, const char* user,
                                        const char* password, DWORD& error);
  ~SdkLogin();
  SdkLogin(const SdkLogin&) = delete;
  SdkLogin& operator=(const SdkLogin&) = delete;

  const std::string& Host() const { return host_; }
  uint16_t Port() const { return port_; }
  uint32_t Session() const { return session_; }

  // One playback command for the recorder's stream `stream`.
  bool Control(uint32_t stream, uint32_t command, uint32_t value, uint32_t& out, DWORD& error);
  // Says goodbye; the connection closes either way.
  bool Logout(DWORD& error);

 private:
  SdkLogin(std::string host, uint16_t port, int fd, uint32_t session)
      : host_(std::move(host)), port_(port), fd_(fd), session_(session) {}

  const std::string host_;
  const uint16_t port_;
  std::mutex lock_;  // one request at a time on fd_
  int fd_;           // guarded by lock_; -1 after the logout
  const uint32_t session_;
};

}  // namespace netsdk
