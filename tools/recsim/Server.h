// Server: the simulator's listener on 127.0.0.1. Each accepted control connection is one
// session, served on a thread of its own until the client leaves or the server stops.
#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "Catalog.h"
#include "ControlSession.h"
#include "Net.h"
#include "ServerOptions.h"

namespace recsim {

class Server {
 public:
  // Listens and starts accepting; nullptr with a reason when the port cannot be had.
  static std::unique_ptr<Server> Start(ServerOptions options, std::string& error);
  ~Server();  // ends every session

  uint16_t Port() const { return port_; }
  Catalog& GetCatalog() { return catalog_; }
  // Sessions whose thread still runs.
  size_t ActiveSessions();

 private:
  struct Running {
    std::unique_ptr<ControlSession> session;
    std::thread thread;
    std::atomic<bool> done{false};
  };

  Server(ServerOptions options, UniqueFd listener);
  void AcceptLoop();
  void ReapFinished();

  const ServerOptions options_;
  Catalog catalog_;
  UniqueFd listener_;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<unsigned long> nextSessionId_;

  std::mutex lock_;  // guards sessions_
  std::list<std::unique_ptr<Running>> sessions_;

  std::thread acceptor_;
};

}  // namespace recsim
