#include "PlayerHost.h"

#include <atomic>
#include <cmath>
#include <cstdio>

#include "Report.h"
#include "client/StreamClient.h"

namespace rtspplay {
namespace {

constexpr int kTcpTransport = 0;
constexpr int kUdpTransport = 1;

std::atomic<StreamReceiver*> g_receiver{nullptr};
std::atomic<int> g_totalTime{-1};

int OnData(int, int, int dataType, unsigned char* buffer, int length) {
  StreamReceiver* receiver = g_receiver.load();
  if (!receiver || !buffer || length <= 0) return 0;
  const auto size = static_cast<size_t>(length);
  if (dataType == DATA_HEADER) {
    receiver->OnHeader(buffer, size);
    std::printf("%s\n", DescribeHeader(receiver->Header()).c_str());
  } else {
    receiver->OnStream(buffer, size);
  }
  return 0;
}

int OnMessage(int, int msg, int param1, int) {
  switch (msg) {
    case MSG_TOTAL_TIME:
      g_totalTime = param1;
      std::printf("%s\n", DescribeTotalTime(param1).c_str());
      break;
    case MSG_OPEN_RESULT:
      std::printf("open result: %s\n", param1 ? "opened" : "failed");
      break;
    case MSG_DISCONNECTED:
      std::printf("disconnected: the server stopped answering or closed the media connection\n");
      break;
    default:
      std::printf("message %d (%d)\n", msg, param1);
      break;
  }
  std::fflush(stdout);
  return 0;
}

const char* Name(CommandKind kind) {
  switch (kind) {
    case CommandKind::kPlay: return "play";
    case CommandKind::kPause: return "pause";
    case CommandKind::kResume: return "resume";
    case CommandKind::kSeek: return "seek";
    case CommandKind::kRate: return "rate";
    case CommandKind::kWait: return "wait";
    case CommandKind::kStop: return "stop";
  }
  return "?";
}

}  // namespace

std::unique_ptr<PlayerHost> PlayerHost::Open(const Options& options, StreamReceiver& receiver,
                                             std::string& error) {
  g_receiver = &receiver;
  if (InitStreamClientLib() != 0) {
    error = "the stream client library did not start";
    return nullptr;
  }
  const int handle = QRLS_CreatePlayer(nullptr, 0, OnData, OnMessage,
                                       options.udp ? kUdpTransport : kTcpTransport);
  if (handle < 0) {
    error = "no player could be created";
    return nullptr;
  }
  // Owned from here, so a failed open is cleaned up by the destructor.
  std::unique_ptr<PlayerHost> host(new PlayerHost(handle));
  if (QRLS_OpenURL(handle, options.url.c_str(), 0) != 1) {
    error = "cannot open " + options.url;
    return nullptr;
  }
  return host;
}

PlayerHost::~PlayerHost() {
  if (handle_ >= 0) QRLS_Destroy(handle_);
}

int PlayerHost::TotalTime() { return g_totalTime; }

bool PlayerHost::Run(const Command& command) {
  if (Stopped()) {
    std::printf("%s: the player is stopped\n", Name(command.kind));
    return false;
  }
  const int result = Call(command);
  const bool ok = command.kind == CommandKind::kRate ? result == 0 : result >= 0;
  if (ok && command.kind == CommandKind::kPause) paused_ = true;
  if (ok && (command.kind == CommandKind::kResume || command.kind == CommandKind::kPlay))
    paused_ = false;
  if (command.kind == CommandKind::kStop) handle_ = -1;  // released whatever the result
  std::printf("%s: %s\n", Name(command.kind), ok ? "ok" : "failed");
  std::fflush(stdout);
  return ok;
}

int PlayerHost::Call(const Command& command) {
  switch (command.kind) {
    case CommandKind::kPlay: return QRLS_Play(handle_);
    case CommandKind::kPause: return QRLS_Pause(handle_);
    case CommandKind::kResume: return QRLS_Resume(handle_);
    case CommandKind::kSeek:
      return QRLS_RandomPlay(handle_,
                             static_cast<int>(std::lround(command.seconds * kTimeUnitsPerSecond)));
    case CommandKind::kRate: return QRLS_ChangeRate(handle_, command.scale);
    case CommandKind::kStop: return QRLS_Stop(handle_);
    case CommandKind::kWait: return 0;
  }
  return -1;
}

}  // namespace rtspplay
