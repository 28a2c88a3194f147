#include "LegacyClientSession.h"

#include <array>
#include <atomic>
#include <cstring>

namespace netsource {
namespace {

// What the session asks of the legacy library.
constexpr WORD kFirstPort = 5050;
constexpr WORD kSecondPort = 6050;
constexpr DWORD kConnectTimeout = 100;  // tenths of a second
constexpr LONG kTtl = 64;
constexpr char kAccessCode[] = "001";
constexpr char kAccessLevel[] = "A";
constexpr size_t kMaxHostChars = 19;

CallbackTable& LegacyStreams() {
  static CallbackTable table;
  return table;
}

std::array<std::atomic<bool>, QLC_MAX_STREAMS>& AwaitingHeader() {
  static std::array<std::atomic<bool>, QLC_MAX_STREAMS> flags{};
  return flags;
}

bool ValidIndex(LONG index) { return index >= 0 && index < QLC_MAX_STREAMS; }

}  // namespace

void LegacyDataCallBack(LONG streamIndex, BYTE* buffer, DWORD size) {
  if (!ValidIndex(streamIndex)) return;
  const CallbackTable::Lease feed = LegacyStreams().Find(streamIndex);
  if (!feed) return;
  std::atomic<bool>& awaiting = AwaitingHeader()[static_cast<size_t>(streamIndex)];
  bool expected = true;
  if (size == recorder::kFileHeaderSize && awaiting.compare_exchange_strong(expected, false))
    feed->OnHeaderBlock(buffer, size);
  else
    feed->OnStreamBlock(buffer, size);
}

LegacyClientSession::LegacyClientSession(const SessionContext& context)
    : StreamSession(context, nullptr), context_(context) {
  QLC_ClientSetNetPort(kFirstPort, kSecondPort);
  QLC_ClientStartup(QLC_VERSION, kConnectTimeout);
}

HRESULT LegacyClientSession::Start(const std::string& host, LONG channel) {
  host_ = host.substr(0, kMaxHostChars);
  channel_ = channel;
  return CaptureStart();
}

HRESULT LegacyClientSession::CaptureStart() {
  block_ = QLC_STARTBLOCK{};
  block_.channel = static_cast<BYTE>(channel_ & 0xFF);
  block_.protocol = QLC_PROTOCOL_TCP;
  block_.streamKind = QLC_STREAM_MAIN;
  block_.host = host_.c_str();
  block_.accessCode = kAccessCode;
  block_.accessLevel = kAccessLevel;
  if (!QLC_ClientSetTTL(kTtl)) return E_FAIL;
  if (index_ < 0) {
    const LONG index = QLC_ClientStart_Other(&block_, LegacyDataCallBack);
    if (!ValidIndex(index)) return E_FAIL;
    index_ = index;
  }
  AwaitingHeader()[static_cast<size_t>(index_)] = true;
  if (!stream_) {
    auto feed = MakeFeed(context_, SizeRule::TakeGroup, FillTraces::Announce);
    // Another session's stream under the same index: the library reused it; refuse to mix.
    if (!LegacyStreams().AddAt(index_, feed)) return E_FAIL;
    {
      std::lock_guard guard(streamLock_);
      stream_ = std::move(feed);
    }
    streamChanged_.notify_all();
  }
  stream_->RestartProbe();
  if (!QLC_ClientStartCapture(index_)) return E_FAIL;
  state_ = SessionState::Running;
  return S_OK;
}

HRESULT LegacyClientSession::Run() {
  if (state_ == SessionState::Running) return S_OK;
  index_ = -1;
  return CaptureStart();
}

HRESULT LegacyClientSession::Pause() {
  if (state_ == SessionState::Running && firstPause_) {
    firstPause_ = false;
    return S_OK;
  }
  return Stop();
}

HRESULT LegacyClientSession::Stop() {
  if (index_ < 0) return S_OK;
  AwaitingHeader()[static_cast<size_t>(index_)] = true;
  if (stream_) stream_->Halt();
  if (!QLC_ClientStopCapture(index_) || !QLC_ClientStop(index_)) {
    if (stream_) stream_->Resume();
    return E_FAIL;
  }
  EndStream();
  state_ = SessionState::Stopped;
  return S_OK;
}

HRESULT LegacyClientSession::EndStream() {
  if (stream_) {
    stream_->Flush();
    LegacyStreams().Remove(index_);
    std::lock_guard guard(streamLock_);
    stream_.reset();
  }
  index_ = -1;
  return S_OK;
}

HRESULT LegacyClientSession::FillBuffer(FillTarget& target) {
  if (state_ != SessionState::Running || !stream_) return NETSRC_S_NODATA;
  return stream_->Fill(target, pin_ ? pin_->BufferLimit() : kDefaultNodeCount);
}

bool LegacyClientSession::GetHeader(uint8_t* destination) {
  if (!destination) return false;
  HeaderBytes header{};
  if (stream_) header = stream_->Header();
  std::memcpy(destination, header.data(), header.size());
  return true;
}

std::shared_ptr<SessionFeed> LegacyClientSession::CurrentStream() {
  std::lock_guard guard(streamLock_);
  return stream_;
}

void LegacyClientSession::WaitForData(std::chrono::milliseconds timeout) {
  if (const auto stream = CurrentStream()) {
    stream->Queue().WaitForData(timeout);
    return;
  }
  // No capture: sleep until one starts or a state change comes.
  std::unique_lock guard(streamLock_);
  streamChanged_.wait_for(guard, timeout, [this] { return stream_ || consumerWoken_; });
  consumerWoken_ = false;
}

void LegacyClientSession::WakeConsumer() {
  if (const auto stream = CurrentStream()) stream->Queue().WakeConsumer();
  {
    std::lock_guard guard(streamLock_);
    consumerWoken_ = true;
  }
  streamChanged_.notify_all();
}

LegacyClientSession::~LegacyClientSession() {
  // The stream is ended here too (not only left to the library's clean-up, which is counted
  // and may leave it running for another session), so no callback outlives the session.
  if (index_ >= 0) {
    AwaitingHeader()[static_cast<size_t>(index_)] = true;
    if (stream_) stream_->Halt();
    QLC_ClientStopCapture(index_);
    QLC_ClientStop(index_);
    EndStream();
  }
  QLC_ClientCleanup();
}

}  // namespace netsource
