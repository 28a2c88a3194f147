#include "ServerStreamSession.h"

#include <thread>

#include "DebugOutput.h"
#include "ServerSink.h"
#include "recorder/StreamFormat.h"
#include "recorder/Trace.h"

namespace netsource {
namespace {

constexpr int kTcpTransport = 0;
constexpr int kOpenTries = 500;
constexpr auto kOpenTryInterval = std::chrono::milliseconds(10);
constexpr int kTicksPerSecond = 64;

CallbackTable& ServerStreams() {
  static CallbackTable table;
  return table;
}

}  // namespace

int ServerDataCallBack(int, int userData, int dataType, unsigned char* buffer, int length) {
  if (length < 0) return 0;
  const CallbackTable::Lease feed = ServerStreams().Find(userData);
  if (!feed) return 0;
  if (dataType == DATA_HEADER) feed->OnHeaderBlock(buffer, static_cast<size_t>(length));
  else if (dataType == DATA_STREAM) feed->OnStreamBlock(buffer, static_cast<size_t>(length));
  return 0;
}

int ServerSeekPosition(LONGLONG current) {
  const LONGLONG seconds = current / recorder::kUnitsPerSecond;
  return static_cast<int>(static_cast<uint32_t>(seconds * kTicksPerSecond));
}

ServerStreamSession::ServerStreamSession(const SessionContext& context)
    : StreamSession(context, MakeFeed(context, SizeRule::TakeGroup, FillTraces::NoNode)),
      key_(ServerStreams().Add(feed_)),
      sink_(ServerSink::Borrow()) {
  InitStreamClientLib();
}

bool ServerStreamSession::Open(const std::string& serverUrl) {
  serverUrl_ = serverUrl;
  if (FAILED(PlayerStart())) return false;
  state_ = SessionState::Opened;
  return true;
}

void ServerStreamSession::ForgetPlayer() {
  player_ = -1;
  sink_->SetOpened(-1);
}

HRESULT ServerStreamSession::PlayerStart() {
  if (player_ >= 0) {
    feed_->Halt();
    QRLS_Stop(player_);
    ForgetPlayer();
  }
  feed_->Resume();
  player_ = QRLS_CreatePlayer(sink_, 0, ServerDataCallBack, nullptr, kTcpTransport);
  if (player_ == -1) {
    recorder::Trace("Create player failed!\n");
    return E_FAIL;
  }
  if (QRLS_OpenURL(player_, serverUrl_.c_str(), key_) != 1) {
    QRLS_Destroy(player_);
    ForgetPlayer();
    return E_FAIL;
  }
  recorder::Trace("Succeed in open URL!\n");
  for (int i = 0; i < kOpenTries && sink_->Opened() < 1; ++i) {
    std::this_thread::sleep_for(kOpenTryInterval);
    recorder::Trace("Wait for open!\n");
  }
  if (sink_->Opened() < 1) {
    QRLS_Destroy(player_);
    ForgetPlayer();
    recorder::Trace("Open URL wait return failed!\n");
    return E_FAIL;
  }
  if (QRLS_Play(player_) != 1) {
    feed_->Halt();
    QRLS_Stop(player_);
    ForgetPlayer();
    return E_FAIL;
  }
  state_ = SessionState::Opened;
  return S_OK;
}

HRESULT ServerStreamSession::Run() {
  recorder::Trace("!!Run!!");
  switch (state_) {
    case SessionState::Opened: state_ = SessionState::Running; break;
    case SessionState::Paused:
      recorder::Trace("g_bPaused is True!\n");
      if (QRLS_Resume(player_) >= 0) recorder::Trace("!Resume OK!");
      state_ = SessionState::Running;
      break;
    case SessionState::Stopped: return PlayerStart();
    case SessionState::Running: break;
  }
  return S_OK;
}

HRESULT ServerStreamSession::Pause() {
  recorder::Trace("!!Pause!!");
  if (state_ == SessionState::Opened || player_ < 0) return S_OK;
  recorder::TraceF("Pause return %d", QRLS_Pause(player_));
  state_ = SessionState::Paused;
  return S_OK;
}

HRESULT ServerStreamSession::Stop() {
  OutputDebugStringA("!!Stop!!");
  if (player_ >= 0) {
    // The receive thread may be waiting for room in our queue; it must give up first.
    feed_->Halt();
    const int result = QRLS_Stop(player_);
    ForgetPlayer();
    recorder::TraceF("Stop return %d", result);
  }
  state_ = SessionState::Stopped;
  return S_OK;
}

HRESULT ServerStreamSession::ChangeStart() {
  recorder::Trace("***********************ChangeStart");
  LONGLONG current = 0;
  LONGLONG stop = 0;
  if (pin_) pin_->GetPositions(&current, &stop);
  int position = ServerSeekPosition(current);
  if (state_ != SessionState::Paused) return S_OK;
  if (position == 0) position = 1;  // the library takes 0 as "no position"
  QRLS_Resume(player_);
  state_ = SessionState::Running;
  QRLS_RandomPlay(player_, position);
  feed_->Flush();
  recorder::TraceF("***********************Pause Replay pos is  %d", position);
  return S_OK;
}

LONGLONG ServerStreamSession::GetDuration() { return sink_->Duration(); }

ServerStreamSession::~ServerStreamSession() {
  // The filter stops the session before it goes; a session destroyed without that (a failed
  // Load) stops its player here, so no callback of it can arrive later.
  feed_->Halt();
  if (player_ >= 0) {
    QRLS_Stop(player_);
    ForgetPlayer();
  }
  ServerStreams().Remove(key_);
  ServerSink::GiveBack(sink_);
}

}  // namespace netsource
