#include "LoopbackRtspServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace streamclient::test {

namespace {
constexpr int kPollMs = 20;
constexpr size_t kHeaderSize = 40;

int Listen(int type, uint16_t& port) {
  const int fd = ::socket(AF_INET, type, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  if (type == SOCK_STREAM) ::listen(fd, 16);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return fd;
}

int NumberAfter(const std::string& text, const std::string& key) {
  const size_t pos = text.find(key);
  return pos == std::string::npos ? 0 : std::atoi(text.c_str() + pos + key.size());
}

bool SendText(int fd, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}
}  // namespace

LoopbackRtspServer::LoopbackRtspServer() {
  listener_ = Listen(SOCK_STREAM, port_);
  mediaListener_ = Listen(SOCK_STREAM, mediaPort_);
  udp_ = Listen(SOCK_DGRAM, udpPort_);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

LoopbackRtspServer::~LoopbackRtspServer() {
  stop_ = true;
  acceptor_.join();
  CloseAll();
  std::vector<std::thread> servers;
  {
    std::lock_guard guard(lock_);
    servers.swap(servers_);
  }
  for (std::thread& server : servers) server.join();
  for (int fd : connections_) ::close(fd);
  if (mediaConnection_ >= 0) ::close(mediaConnection_);
  ::close(listener_);
  ::close(mediaListener_);
  ::close(udp_);
}

void LoopbackRtspServer::SetScript(Script script) {
  std::lock_guard guard(lock_);
  script_ = std::move(script);
}

void LoopbackRtspServer::SetLive(bool live) {
  std::lock_guard guard(lock_);
  live_ = live;
}

void LoopbackRtspServer::SetStreamHeader(std::string header) {
  std::lock_guard guard(lock_);
  header_ = std::move(header);
}

std::string LoopbackRtspServer::Url(const std::string& path) const {
  return "rtsp://127.0.0.1:" + std::to_string(port_) + path;
}

std::string LoopbackRtspServer::StreamHeader() {
  // The H.264 family's magic, so the player SDK accepts it, then recognisable filler.
  std::string header = "4HLQ";
  for (size_t i = header.size(); i < kHeaderSize; ++i) header += static_cast<char>('A' + i % 26);
  return header;
}

std::vector<ServerRequest> LoopbackRtspServer::Requests() {
  std::lock_guard guard(lock_);
  return requests_;
}

std::vector<ServerRequest> LoopbackRtspServer::Commands() {
  std::vector<ServerRequest> commands;
  for (ServerRequest& request : Requests()) {
    if (request.method != "ANNOUNCE") commands.push_back(std::move(request));
  }
  return commands;
}

size_t LoopbackRtspServer::Count(const std::string& method) {
  std::lock_guard guard(lock_);
  size_t count = 0;
  for (const ServerRequest& request : requests_) count += request.method == method;
  return count;
}

bool LoopbackRtspServer::WaitForCount(const std::string& method, size_t count, int timeoutMs) {
  std::unique_lock guard(lock_);
  return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
    size_t seen = 0;
    for (const ServerRequest& request : requests_) seen += request.method == method;
    return seen >= count;
  });
}

std::string LoopbackRtspServer::Answer(int code, const char* reason, int cseq,
                                       const std::string& headers, const std::string& body) {
  std::string text = "RTSP/1.0 " + std::to_string(code) + " " + reason + "\r\nCSeq: " +
                     std::to_string(cseq) + "\r\n" + headers;
  if (!body.empty()) text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  return text + "\r\n" + body;
}

std::string LoopbackRtspServer::DefaultAnswer(const ServerRequest& request) {
  if (request.method == "SETUP") {
    const bool tcp = request.text.find("RTP/AVP/TCP") != std::string::npos;
    const int clientPort = NumberAfter(request.text, "client_port=");
    bool live;
    std::string header;
    {
      std::lock_guard guard(lock_);
      lastSetupTcp_ = tcp;
      lastClientPort_ = static_cast<uint16_t>(clientPort);
      live = live_;
      header = header_;
    }
    // Datagrams go out from the UDP socket, so that is the server port of a UDP session.
    const uint16_t serverPort = tcp ? mediaPort_ : udpPort_;
    const std::string transport = std::string("Transport: RTP/AVP/") + (tcp ? "TCP" : "UDP") +
                                  ";unicast;client_port=" + std::to_string(clientPort) + "-" +
                                  std::to_string(clientPort + 1) + ";server_port=" +
                                  std::to_string(serverPort) + "-" +
                                  std::to_string(serverPort + 1) + "\r\n";
    return Answer(200, "OK", request.cseq,
                  "Session: 4711;timeout=60\r\n" + transport +
                      (live ? "" : "timestamp: 640\r\n") + "filesize: 123456\r\n",
                  header);
  }
  if (request.method == "PLAY" && request.text.find("Scale:") != std::string::npos) {
    return Answer(200, "OK", request.cseq,
                  "Scale: " + std::to_string(NumberAfter(request.text, "Scale:")) + "\r\n");
  }
  if (request.method == "OPTIONS" && request.text.find("bri:") == std::string::npos &&
      request.text.find("command:") == std::string::npos) {
    return Answer(200, "OK", request.cseq, "bri: 10\r\ncon: 20\r\nsat: 30\r\nhue: 40\r\n");
  }
  return Answer(200, "OK", request.cseq);
}

void LoopbackRtspServer::AcceptLoop() {
  while (!stop_) {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {mediaListener_, POLLIN, 0}};
    if (::poll(fds, 2, kPollMs) <= 0) continue;
    if (fds[0].revents & POLLIN) {
      const int fd = ::accept(listener_, nullptr, nullptr);
      if (fd < 0) continue;
      std::lock_guard guard(lock_);
      connections_.push_back(fd);
      servers_.emplace_back([this, fd] { Serve(fd); });
    }
    if (fds[1].revents & POLLIN) {
      const int fd = ::accept(mediaListener_, nullptr, nullptr);
      if (fd < 0) continue;
      std::lock_guard guard(lock_);
      if (mediaConnection_ >= 0) ::close(mediaConnection_);
      mediaConnection_ = fd;
      changed_.notify_all();
    }
  }
}

void LoopbackRtspServer::Serve(int fd) {
  std::string pending;
  char buffer[2048];
  while (!stop_) {
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, kPollMs) <= 0) continue;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    pending.append(buffer, static_cast<size_t>(n));
    for (size_t end = pending.find("\r\n\r\n"); end != std::string::npos;
         end = pending.find("\r\n\r\n")) {
      ServerRequest request;
      request.text = pending.substr(0, end + 4);
      pending.erase(0, end + 4);
      request.method = request.text.substr(0, request.text.find(' '));
      request.cseq = NumberAfter(request.text, "CSeq: ");
      Script script;
      {
        std::lock_guard guard(lock_);
        if (killed_) return;
        requests_.push_back(request);
        script = script_;
        changed_.notify_all();
      }
      std::optional<std::string> answer = script ? script(request) : std::nullopt;
      const std::string text = answer ? *answer : DefaultAnswer(request);
      if (!text.empty() && !SendText(fd, text)) return;
    }
  }
}

bool LoopbackRtspServer::SendMedia(const std::string& bytes, int timeoutMs) {
  std::unique_lock guard(lock_);
  if (!lastSetupTcp_) {
    sockaddr_in client{};
    client.sin_family = AF_INET;
    client.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    client.sin_port = htons(lastClientPort_);
    return ::sendto(udp_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&client),
                    sizeof client) == static_cast<ssize_t>(bytes.size());
  }
  if (!changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                         [this] { return mediaConnection_ >= 0 || killed_; }) ||
      killed_) {
    return false;
  }
  return SendText(mediaConnection_, bytes);
}

void LoopbackRtspServer::CloseMedia() {
  std::lock_guard guard(lock_);
  if (mediaConnection_ >= 0) ::shutdown(mediaConnection_, SHUT_RDWR);
}

void LoopbackRtspServer::Kill() {
  {
    std::lock_guard guard(lock_);
    killed_ = true;
  }
  CloseAll();
}

void LoopbackRtspServer::CloseAll() {
  std::lock_guard guard(lock_);
  for (int fd : connections_) ::shutdown(fd, SHUT_RDWR);
  if (mediaConnection_ >= 0) ::shutdown(mediaConnection_, SHUT_RDWR);
  changed_.notify_all();
}

}  // namespace streamclient::test
