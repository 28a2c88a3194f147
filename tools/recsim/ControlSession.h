// ControlSession: one client's RTSP control connection, which is also its session. It reads
// requests, answers them in the servers' dialect (with the faults the plan asks for) and
// drives the session's media sender.
//
// Run() is the session's thread; Shutdown() may be called from any thread (the server
// stopping, the media sender closing the control connection on purpose).
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Catalog.h"
#include "MediaSender.h"
#include "Net.h"
#include "RequestReader.h"
#include "Response.h"
#include "ServerOptions.h"

namespace recsim {

class ControlSession {
 public:
  ControlSession(UniqueFd socket, const sockaddr_in& peer, const ServerOptions& options,
                 Catalog& catalog, unsigned long sessionId);

  // Serves the connection until the client leaves, the session times out or is shut down.
  void Run();
  void Shutdown();

 private:
  void Serve(std::string& buffer);
  void Handle(const RtspRequest& request);
  void Answer(const std::string& method, Response response);
  void Send(const std::string& text);
  void SendLateAnswers();
  std::chrono::milliseconds NextWait() const;
  std::optional<std::string> RedirectTarget(const std::string& uri, long redirects) const;
  Response Process(const RtspRequest& request, long cseq);
  Response Setup(const RtspRequest& request, long cseq);
  Response Play(const RtspRequest& request, long cseq);
  Response Pause(long cseq);
  Response Teardown(long cseq);
  Response Options(const RtspRequest& request, long cseq);
  Response SetVideoParams(const RtspRequest& request, const std::string& path, long cseq);
  Response Ptz(const RtspRequest& request, const std::string& path, long cseq);
  std::string SessionHeader() const;

  UniqueFd socket_;  // closed only when the session object goes
  const sockaddr_in peer_;
  const ServerOptions& options_;
  Catalog& catalog_;
  const std::string sessionId_;
  std::atomic<bool> stop_{false};

  // Used by the session thread only.
  std::optional<Channel> channel_;
  std::map<std::string, long> answered_;  // answers sent per method
  // Answers held back by a "late" fault, in the order they are due.
  std::multimap<std::chrono::steady_clock::time_point, std::string> late_;
  std::unique_ptr<MediaSender> media_;    // after SETUP; last member, so it goes first
};

}  // namespace recsim
