// TcpService: a listener on 127.0.0.1 whose connections are each served on a thread of
// their own by one handler. Ending the service shuts every connection down, which wakes
// handlers blocked on their socket; handlers that wait otherwise watch the stop flag.
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "Net.h"

namespace recsim {

class TcpService {
 public:
  using Handler = std::function<void(int fd, const std::atomic<bool>& stop)>;

  // Listens on `port` (0: a free one); nullptr with a reason when it cannot.
  static std::unique_ptr<TcpService> Start(uint16_t port, Handler handler, std::string& error);
  ~TcpService();

  uint16_t Port() const { return port_; }

 private:
  struct Connection {
    UniqueFd fd;
    std::thread thread;
    std::atomic<bool> done{false};
  };

  TcpService(UniqueFd listener, Handler handler);
  void AcceptLoop();
  void ReapFinished();

  UniqueFd listener_;
  const uint16_t port_;
  const Handler handler_;
  std::atomic<bool> stop_{false};
  std::mutex lock_;  // guards connections_
  std::list<std::unique_ptr<Connection>> connections_;
  std::thread acceptor_;
};

}  // namespace recsim
