// A scripted stream server on 127.0.0.1 for the client tests. It speaks the servers' dialect:
// SETUP answered with a session, a Transport naming its media port, "timestamp", "filesize"
// and the 40-byte stream header as body; PLAY, PAUSE, TEARDOWN, ANNOUNCE and OPTIONS answered
// with 200. Media goes out over a TCP connection the client makes to the media port, or as UDP
// datagrams to the client port of the last SETUP. A test may replace any answer.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace streamclient::test {

struct ServerRequest {
  std::string text;    // the request exactly as received
  std::string method;  // first word
  int cseq = 0;
};

class LoopbackRtspServer {
 public:
  // The answer to a request: nullopt for the default answer, "" to stay silent, or the text.
  using Script = std::function<std::optional<std::string>(const ServerRequest& request)>;

  LoopbackRtspServer();
  ~LoopbackRtspServer();
  LoopbackRtspServer(const LoopbackRtspServer&) = delete;
  LoopbackRtspServer& operator=(const LoopbackRtspServer&) = delete;

  void SetScript(Script script);
  // Leaves "timestamp" out of SETUP answers (a live stream).
  void SetLive(bool live);
  // The body of SETUP answers; StreamHeader() unless set.
  void SetStreamHeader(std::string header);

  std::string Url(const std::string& path = "/av_stream") const;
  static std::string StreamHeader();

  std::vector<ServerRequest> Requests();
  // The requests other than keep-alives, which may come at any time.
  std::vector<ServerRequest> Commands();
  size_t Count(const std::string& method);
  bool WaitForCount(const std::string& method, size_t count, int timeoutMs);

  // Sends media to the client of the last SETUP; false when there is no media path.
  bool SendMedia(const std::string& bytes, int timeoutMs = 2000);
  // Closes the TCP media connection, the control connection staying.
  void CloseMedia();
  // Closes every connection and stops answering, like a server that died.
  void Kill();

  static std::string Answer(int code, const char* reason, int cseq,
                            const std::string& headers = "", const std::string& body = "");

 private:
  void AcceptLoop();
  void Serve(int fd);
  std::string DefaultAnswer(const ServerRequest& request);
  void CloseAll();

  int listener_ = -1;
  int mediaListener_ = -1;
  int udp_ = -1;
  uint16_t port_ = 0;
  uint16_t mediaPort_ = 0;
  uint16_t udpPort_ = 0;
  std::atomic<bool> stop_{false};
  std::thread acceptor_;

  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::thread> servers_;     // guarded by lock_
  std::vector<int> connections_;         // guarded by lock_
  std::vector<ServerRequest> requests_;  // guarded by lock_
  Script script_;                        // guarded by lock_
  bool live_ = false;                    // guarded by lock_
  std::string header_ = StreamHeader();  // guarded by lock_
  bool killed_ = false;                  // guarded by lock_
  bool lastSetupTcp_ = false;            // guarded by lock_
  uint16_t lastClientPort_ = 0;          // guarded by lock_
  int mediaConnection_ = -1;             // guarded by lock_
};

}  // namespace streamclient::test
