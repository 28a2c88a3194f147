#include "TcpService.h"

#include <sys/socket.h>

namespace recsim {

std::unique_ptr<TcpService> TcpService::Start(uint16_t port, Handler handler,
                                              std::string& error) {
  UniqueFd listener = ListenTcp(port);
  if (!listener.Valid()) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(port);
    return nullptr;
  }
  std::unique_ptr<TcpService> service(new TcpService(std::move(listener), std::move(handler)));
  service->acceptor_ = std::thread([s = service.get()] { s->AcceptLoop(); });
  return service;
}

TcpService::TcpService(UniqueFd listener, Handler handler)
    : listener_(std::move(listener)), port_(LocalPort(listener_.Get())),
      handler_(std::move(handler)) {}

TcpService::~TcpService() {
  stop_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  std::lock_guard guard(lock_);
  for (auto& connection : connections_) ::shutdown(connection->fd.Get(), SHUT_RDWR);
  for (auto& connection : connections_) connection->thread.join();
}

void TcpService::AcceptLoop() {
  while (!stop_) {
    ReapFinished();
    UniqueFd fd = AcceptUntil(listener_.Get(), stop_);
    if (!fd.Valid()) continue;
    auto connection = std::make_unique<Connection>();
    connection->fd = std::move(fd);
    Connection* c = connection.get();
    std::lock_guard guard(lock_);
    connections_.push_back(std::move(connection));
    c->thread = std::thread([this, c] {
      handler_(c->fd.Get(), stop_);
      ::shutdown(c->fd.Get(), SHUT_RDWR);  // the peer learns at once that we are done
      c->done = true;
    });
  }
}

void TcpService::ReapFinished() {
  std::list<std::unique_ptr<Connection>> finished;
  {
    std::lock_guard guard(lock_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      auto next = std::next(it);
      if ((*it)->done) finished.splice(finished.end(), connections_, it);
      it = next;
    }
  }
  for (auto& connection : finished) connection->thread.join();
}

}  // namespace recsim
