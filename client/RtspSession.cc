#include "RtspSession.h"

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

int RtspSession::Connect(const std::string& url) {
  std::lock_guard guard(lock_);
  url_ = RtspUrl::Parse(url);
  if (!url_.valid) {
    stream_.reset();
    return -1;
  }
  return Setup();
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
  const std::optional<in_addr> address = ParseIPv4(url_.host);
  if (!address) return {};
  if (!ConnectWithin(fd.Get(), MakeAddress(*address, static_cast<uint16_t>(url_.port)),
                     kConnectWaitMs)) {
    return {};
  }
  return fd;
}

int RtspSession::Setup() {
  UniqueFd fd = OpenControlConnection();
  if (!fd.Valid()) {
    DebugTrace("zxq--------Setup init network failed!\n");
    stream_.reset();
    OnOpenFailed();
    return -1;
  }
  connection_ = std::make_unique<RtspConnection>(std::move(fd), *this, url_.url, timings_);
  // A UDP port another program holds would fail the media stream after the server has been
  // told it; such ports are passed over. TCP binds its client port only as a preference.
  clientPort_ = transport_ == MediaTransport::kUdp ? Pool().TakeUsable(UdpPortIsFree)
                                                    : Pool().Take();
  DebugTraceF("zxqtest-------------port %s\n", std::to_string(clientPort_).c_str());
  DebugTrace("\n");
  serverAddress_ = ParseIPv4(url_.host).value_or(in_addr{});
  const int result = connection_->Setup(transport_, clientPort_);
  if (result == -1) ReleaseStream();
  return result;
}

bool RtspSession::OnSetupAnswered(const SetupAnswer& answer) {
  serverPort_ = answer.serverPort;
  const MediaStream::Host streamHost{host_.handle, host_.userData, window_, data_};
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
  DeliverHeader(header_);
  if (stream_->StartReceiving() != 0) {
    ReleaseStream();
    OnOpenFailed();
    return false;
  }
  if (host_.sink) {
    host_.sink->OnTotalTime(answer.totalTime);
    host_.sink->OnPresentationOpened(1);
  }
  if (host_.messages) {
    host_.messages(host_.handle, MSG_TOTAL_TIME, answer.totalTime, 0);
    host_.messages(host_.handle, MSG_OPEN_RESULT, 1, 0);
  }
  return true;
}

void RtspSession::DeliverHeader(std::string_view header) {
  if (!data_) return;
  if (header.size() >= kHeaderCapacity) {
    DebugTrace("zxq--------OnSetup the head is to long to be reserved\n");
    return;
  }
  std::memcpy(callbackHeader_.data(), header.data(), header.size());
  callbackHeader_[header.size()] = 0;
  data_(host_.handle, host_.userData, DATA_HEADER, callbackHeader_.data(),
        static_cast<int>(header.size()));
}

void RtspSession::OnOpenFailed() {
  if (host_.sink) host_.sink->OnPresentationOpened(0);
  if (host_.messages) host_.messages(host_.handle, MSG_OPEN_RESULT, 0, 0);
}

void RtspSession::OnKeepAliveLost() {
  if (host_.sink) host_.sink->OnDisconnected();
  if (host_.messages) host_.messages(host_.handle, MSG_DISCONNECTED, 0, 0);
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
  {
    std::lock_guard guard(lock_);
    ReleaseStream();
    if (connection_) {
      connection_->Teardown();
      ReturnClientPort();
    }
  }
  EndKeepAlive();
  return 0;
}

int RtspSession::Destroy() {
  stop_ = true;
  {
    std::lock_guard guard(lock_);
    if (connection_) ReturnClientPort();
    ReleaseStream();
  }
  EndKeepAlive();
  return 0;
}

void RtspSession::ReleaseStream() {
  if (!stream_) return;
  stream_->Stop();
  stream_.reset();
}

void RtspSession::ReturnClientPort() {
  Pool().GiveBack(clientPort_);
  clientPort_ = 0;
}

void RtspSession::EndKeepAlive() {
  stop_ = true;
  stopRequested_.Signal();
  keepAliveExited_.WaitFor(kThreadStopWaitMs);
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

void RtspSession::KeepAliveLoop() {
  using Clock = std::chrono::steady_clock;
  std::optional<Clock::time_point> last;  // none yet: the first check is due at once
  const auto interval = std::chrono::milliseconds(timings_.keepAliveIntervalMs);
  do {
    const Clock::time_point now = Clock::now();
    if (!stop_ && (!last || now - *last > interval)) {
      {
        std::lock_guard guard(lock_);
        if (connection_) connection_->KeepAlive();
      }
      last = now;
    }
    // Sleep until the next keep-alive is due, not in short polls, so an idle player costs no
    // CPU; EndKeepAlive wakes the thread at once.
    const Clock::time_point due = last ? *last + interval : now;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now());
    stopRequested_.WaitFor(static_cast<int>(std::max<int64_t>(wait.count(), kMinKeepAliveWaitMs)));
  } while (!stop_);
  {
    std::lock_guard guard(lock_);
    connection_.reset();
  }
  keepAliveExited_.Signal();
}

}  // namespace streamclient
