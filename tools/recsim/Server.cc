#include "Server.h"

#include <sys/socket.h>

#include <algorithm>
#include <random>

namespace recsim {
namespace {

constexpr unsigned long kFirstSessionIdMin = 1000;
constexpr unsigned long kFirstSessionIdMax = 999'999;

}  // namespace

std::unique_ptr<Server> Server::Start(ServerOptions options, std::string& error) {
  UniqueFd listener = ListenTcp(options.port);
  if (!listener.Valid()) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(options.port);
    return nullptr;
  }
  std::unique_ptr<Server> server(new Server(std::move(options), std::move(listener)));
  server->acceptor_ = std::thread([s = server.get()] { s->AcceptLoop(); });
  return server;
}

Server::Server(ServerOptions options, UniqueFd listener)
    : options_(std::move(options)),
      catalog_(options_.root),
      listener_(std::move(listener)),
      port_(LocalPort(listener_.Get())) {
  std::random_device seed;
  nextSessionId_ =
      std::uniform_int_distribution<unsigned long>(kFirstSessionIdMin, kFirstSessionIdMax)(seed);
}

Server::~Server() {
  stop_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  std::lock_guard guard(lock_);
  for (auto& running : sessions_) running->session->Shutdown();
  for (auto& running : sessions_) running->thread.join();
}

size_t Server::ActiveSessions() {
  std::lock_guard guard(lock_);
  return static_cast<size_t>(std::count_if(sessions_.begin(), sessions_.end(),
                                           [](const auto& r) { return !r->done; }));
}

void Server::AcceptLoop() {
  while (!stop_) {
    ReapFinished();
    if (!WaitReadable(listener_.Get(), std::chrono::milliseconds(100))) continue;
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    UniqueFd socket(::accept4(listener_.Get(), reinterpret_cast<sockaddr*>(&peer), &length,
                              SOCK_CLOEXEC));
    if (!socket.Valid()) continue;
    auto running = std::make_unique<Running>();
    running->session = std::make_unique<ControlSession>(std::move(socket), peer, options_,
                                                         catalog_, nextSessionId_++);
    Running* r = running.get();
    std::lock_guard guard(lock_);
    sessions_.push_back(std::move(running));
    r->thread = std::thread([r] {
      r->session->Run();
      r->done = true;
    });
  }
}

void Server::ReapFinished() {
  std::list<std::unique_ptr<Running>> finished;
  {
    std::lock_guard guard(lock_);
    for (auto it = sessions_.begin(); it != sessions_.end();) {
      auto next = std::next(it);
      if ((*it)->done) finished.splice(finished.end(), sessions_, it);
      it = next;
    }
  }
  for (auto& running : finished) running->thread.join();
}

}  // namespace recsim
