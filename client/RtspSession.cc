#include "RtspSession.h"

#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include "DebugTrace.h"

namespace streamclient {

namespace {
constexpr int kLingerSeconds = 5;
}  // namespace

RtspSession::RtspSession(const SessionHost& host, PortPools& pools, const RtspTimings& timings)
    : host_(host),
      contact_{host.handle, host.sink, host.messages},
      transport_(host.transportSelector == 0 ? MediaTransport::kTcp : MediaTransport::kUdp),
      pools_(pools),
      timings_(timings),
      data_(host.data),
      window_(host.window) {}

std::shared_ptr<RtspSession> RtspSession::Start(const SessionHost& host, PortPools& pools,
                                                const RtspTimings& timings) {
  if ((host.window == 0 && host.data == nullptr) || (!host.sink && !host.messages) ||
      host.handle < 0) {
    return nullptr;
  }
  auto session = std::make_shared<RtspSession>(host, pools, timings);
  session->stream_ = std::make_shared<MediaStream>();
  try {
    std::thread([session] { session->KeepAliveLoop(); }).detach();
  } catch (const std::system_error&) {
    return nullptr;
  }
  return session;
}

int RtspSession::Connect(const std::string& url, HostCalls& calls) {
  std::lock_guard guard(lock_);
  url_ = RtspUrl::Parse(url);
  int result = -1;
  if (url_.valid) {
    result = Setup();
  } else {
    stream_.reset();
  }
  calls.Append(std::move(pending_));
  return result;
}

UniqueFd RtspSession::OpenControlConnection() const {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM, 0));
  if (!fd.Valid()) {
    DebugTrace("zxq--------InitNetworks create socket failed!\n");
    return {};
  }
  const int on = 1;
  if (::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
    DebugTrace("zxq--------InitNetworks setsockopt failed!\n");
    return {};
  }
  const linger lingerOption{1, kLingerSeconds};
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_LINGER, &lingerOption, sizeof lingerOption);
  // Each request goes out whole in one send. A request sent while a keep-alive still awaits
  // its answer would otherwise wait for the server's delayed acknowledgement (tens of ms).
  ::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  const std::optional<in_addr> address = ParseIPv4(url_.host);
  if (!address) return {};
  if (!ConnectWithin(fd.Get(), MakeAddress(*address, static_cast<uint16_t>(url_.port)),
                     kConnectWaitMs)) {
    return {};
  }
  return fd;
}

int RtspSession::Setup() {
  for (int redirects = 0;; ++redirects) {
    UniqueFd fd = OpenControlConnection();
    if (!fd.Valid()) {
      DebugTrace("zxq--------Setup init network failed!\n");
      stream_.reset();
      OnOpenFailed();
      return -1;
    }
    connection_ = std::make_unique<RtspConnection>(std::move(fd), *this, url_.url, timings_);
    if (redirects == 0) {
      // A UDP port another program holds would fail the media stream after the server has
      // been told it; such ports are passed over. TCP binds its client port only as a
      // preference.
      clientPort_ = transport_ == MediaTransport::kUdp ? Pool().TakeUsable(UdpPortIsFree)
                                                        : Pool().Take();
      DebugTraceF("zxqtest-------------port %s\n", std::to_string(clientPort_).c_str());
      DebugTrace("\n");
    }
    serverAddress_ = ParseIPv4(url_.host).value_or(in_addr{});
    const int result = connection_->Setup(transport_, clientPort_);
    if (result == -1) ReleaseStream();
    if (result != 0 || connection_->RedirectLocation().empty()) return result;
    if (!FollowRedirect(redirects)) return -1;
  }
}

// The target must be what a player could open itself, and the chain is bounded so two servers
// pointing at each other cannot hold the open for ever.
bool RtspSession::FollowRedirect(int redirects) {
  const RtspUrl target = RtspUrl::Parse(connection_->RedirectLocation());
  if (redirects >= kMaxRedirects || !IsPlayableUrl(target)) {
    DebugTrace("zxq--------SETUP redirect not followed!\n");
    ReleaseStream();
    OnOpenFailed();
    return false;
  }
  DebugTraceF("zxq--------SETUP redirected to %s\n", target.url.c_str());
  connection_.reset();
  url_ = target;
  return true;
}

bool RtspSession::OnSetupAnswered(const SetupAnswer& answer) {
  serverPort_ = answer.serverPort;
  const MediaStream::Host streamHost{contact_, host_.userData, window_, data_};
  if (!stream_ || stream_->Open(streamHost, Transport()) != 0) {
    ReleaseStream();
    OnOpenFailed();
    return false;
  }
  header_ = std::string(answer.header);
  if (window_ != 0) {
    VidoraPlayer& player = stream_->Player();
    const bool notLive = !IsLivePath(url_.url);
    bool opened = player.Open(host_.handle, window_, notLive) == 0;
    if (opened && player.OpenStream(reinterpret_cast<const uint8_t*>(header_.data()),
                                    static_cast<int>(header_.size())) != 0) {
      DebugTrace("zxq--------OnSetup parse head failed!\n");
      opened = false;
    }
    if (!opened) {
      ReleaseStream();
      OnOpenFailed();
      return false;
    }
  }
  if (stream_->StartReceiving() != 0) {
    ReleaseStream();
    OnOpenFailed();
    return false;
  }
  QueueHeader(header_);
  pending_.Add([contact = contact_, total = answer.totalTime] { contact.OpenSucceeded(total); });
  // Stream bytes go out only after the header and the open notifications.
  pending_.Add([stream = stream_] { stream->BeginDelivery(); });
  return true;
}

void RtspSession::QueueHeader(const std::string& header) {
  if (!data_) return;
  if (header.size() >= kHeaderCapacity) {
    DebugTrace("zxq--------OnSetup the head is to long to be reserved\n");
    return;
  }
  // The call gets its own zero-terminated copy, valid while it runs.
  pending_.Add(
      [data = data_, handle = host_.handle, userData = host_.userData, copy = header]() mutable {
        data(handle, userData, DATA_HEADER, reinterpret_cast<unsigned char*>(copy.data()),
             static_cast<int>(copy.size()));
      });
}

void RtspSession::OnOpenFailed() {
  pending_.Add([contact = contact_] { contact.OpenFailed(); });
}

void RtspSession::OnKeepAliveLost() {
  pending_.Add([contact = contact_] { contact.Disconnected(); });
}

VidoraPlayer* RtspSession::Player() { return stream_ ? &stream_->Player() : nullptr; }

int RtspSession::WithConnection(const std::function<int(RtspConnection&)>& operation) {
  std::lock_guard guard(lock_);
  return connection_ ? operation(*connection_) : -1;
}

int RtspSession::Play() {
  return WithConnection([](RtspConnection& c) { return c.Play(); });
}

int RtspSession::Seek(uint32_t position) {
  return WithConnection([position](RtspConnection& c) { return c.Seek(position); });
}

int RtspSession::Pause() {
  return WithConnection([](RtspConnection& c) { return c.Pause(); });
}

int RtspSession::Resume() {
  return WithConnection([](RtspConnection& c) { return c.Resume(); });
}

int RtspSession::Scale(int scale) {
  return WithConnection([scale](RtspConnection& c) { return c.Scale(scale); });
}

int RtspSession::GetVideoParams(VideoParams& params) {
  return WithConnection([&params](RtspConnection& c) { return c.GetVideoParams(params); });
}

int RtspSession::SetVideoParams(const VideoParams& params) {
  return WithConnection([&params](RtspConnection& c) { return c.SetVideoParams(params); });
}

int RtspSession::Ptz(const PtzCommand& command) {
  return WithConnection([&command](RtspConnection& c) { return c.Ptz(command); });
}

int RtspSession::Stop() {
  stop_ = true;
  std::lock_guard guard(lock_);
  ReleaseStream();
  if (connection_) connection_->Teardown();
  return 0;
}

int RtspSession::Destroy() {
  stop_ = true;
  std::lock_guard guard(lock_);
  ReleaseStream();
  return 0;
}

void RtspSession::AwaitEnd() {
  std::shared_ptr<MediaStream> stream;
  {
    std::lock_guard guard(lock_);
    stream = std::move(stopping_);
  }
  if (stream) stream->WaitStopped();
  stop_ = true;
  stopWake_.Set();
  // A host that stops the player from its MSG_DISCONNECTED runs on the keep-alive thread,
  // which ends once the callback returns.
  if (keepAliveThread_.load() != std::this_thread::get_id()) {
    keepAliveExited_.WaitFor(kThreadStopWaitMs);
  }
  // Only now: the media socket bound to the port is closed once the receive thread ended.
  std::lock_guard guard(lock_);
  Pool().GiveBack(clientPort_);
  clientPort_ = 0;
}

void RtspSession::ReleaseStream() {
  if (!stream_) return;
  stream_->RequestStop();
  // Its receive thread may be inside a host callback; AwaitEnd waits for it without locks.
  stopping_ = std::move(stream_);
}

std::string RtspSession::Path() {
  std::lock_guard guard(lock_);
  return url_.path;
}

uint64_t RtspSession::DroppedDatagrams() {
  std::lock_guard guard(lock_);
  return stream_ ? stream_->DroppedDatagrams() : 0;
}

int RtspSession::Header(unsigned char* buffer, int size) {
  std::lock_guard guard(lock_);
  if (header_.empty() || size < static_cast<int>(header_.size())) return -1;
  std::memcpy(buffer, header_.data(), header_.size());
  return static_cast<int>(header_.size());
}

int RtspSession::SetDataCallBack(DataCallBack callback) {
  std::lock_guard guard(lock_);
  data_ = callback;
  if (!stream_) return -1;
  stream_->SetDataCallBack(callback);
  return 0;
}

int RtspSession::ResetWindow(int window) {
  std::lock_guard guard(lock_);
  window_ = window;
  if (!stream_) return -1;
  stream_->SetWindow(window);
  return 0;
}

int RtspSession::WithPlayer(const std::function<int(VidoraPlayer&)>& operation) {
  std::lock_guard guard(lock_);
  return stream_ ? operation(stream_->Player()) : -1;
}

PortPool& RtspSession::Pool() const {
  return transport_ == MediaTransport::kTcp ? pools_.tcp : pools_.udp;
}

TransportParams RtspSession::Transport() const {
  return {transport_, serverPort_, clientPort_, serverAddress_};
}

bool RtspSession::KeepAliveOutstanding() {
  std::lock_guard guard(lock_);
  return connection_ && connection_->KeepAliveOutstanding();
}

void RtspSession::KeepAliveLoop() {
  keepAliveThread_ = std::this_thread::get_id();
  using Clock = std::chrono::steady_clock;
  std::optional<Clock::time_point> last;  // none yet: the first check is due at once
  const auto interval = std::chrono::milliseconds(timings_.keepAliveIntervalMs);
  while (!stop_) {
    const Clock::time_point now = Clock::now();
    if (!last || now - *last > interval) {
      last = now;
      if (SendKeepAlive())
        AwaitKeepAliveAnswer(now + std::chrono::milliseconds(timings_.receiveWaitMs));
    }
    // Sleep until the next keep-alive is due, not in short polls, so an idle player costs no
    // CPU; AwaitEnd wakes the thread at once.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*last + interval - Clock::now());
    stopWake_.SleepFor(static_cast<int>(std::max<int64_t>(wait.count(), kMinKeepAliveWaitMs)));
  }
  {
    std::lock_guard guard(lock_);
    connection_.reset();
  }
  keepAliveExited_.Signal();
}

bool RtspSession::SendKeepAlive() {
  HostCalls calls;
  bool sent = false;
  {
    std::lock_guard guard(lock_);
    if (connection_) sent = connection_->SendKeepAlive() == 0;
    calls.Append(std::move(pending_));
  }
  if (!stop_) calls.Run();
  return sent;
}

// Waits for the keep-alive's answer without the session lock, so the host's calls go on
// meanwhile; an exchange of theirs that reads the answer first handles it.
void RtspSession::AwaitKeepAliveAnswer(std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    int fd;
    int64_t leftMs;
    {
      std::lock_guard guard(lock_);
      if (stop_ || !connection_ || !connection_->KeepAliveOutstanding()) return;
      leftMs = std::chrono::ceil<std::chrono::milliseconds>(deadline -
                                                            std::chrono::steady_clock::now())
                   .count();
      if (leftMs <= 0) {
        connection_->KeepAliveUnanswered();
        return;
      }
      fd = connection_->Socket();
    }
    // Only this thread closes the connection, so the descriptor stays valid meanwhile.
    if (WaitReadable(fd, static_cast<int>(leftMs), stopWake_) == WaitResult::kTimedOut) continue;
    std::lock_guard guard(lock_);
    if (connection_) connection_->ReadAvailable();
  }
}

}  // namespace streamclient
