// One entry of the player table: what the host gave at creation, the opened URL's path and
// the RTSP session. The per-handle lock serialises calls for the handle; the player lock
// guards the fields below and is taken inside it.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "RtspSession.h"
#include "client/StreamClient.h"

namespace streamclient {

enum class PlayerState { kOpened = 0, kPlaying = 1, kPaused = 2, kIdle = 3 };

struct Player {
  int id = -1;
  int window = 0;                  // guarded by lock
  DataCallBack data = nullptr;     // guarded by lock
  StreamSink* sink = nullptr;
  MsgFunc messages = nullptr;
  int transport = 0;  // 0 selects TCP media transport, any other value UDP
  std::mutex lock;
  int userData = 0;                         // guarded by lock
  std::shared_ptr<RtspSession> session;     // guarded by lock
  PlayerState state = PlayerState::kIdle;   // guarded by lock
  std::string path;                         // guarded by lock
};

}  // namespace streamclient
