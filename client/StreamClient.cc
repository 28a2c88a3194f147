// The exported player API. Every function that takes a handle checks the library and the
// handle, holds that handle's lock for the whole call, looks the player up and forwards to
// its session or media stream. Host notifications and waits for the library's own threads
// happen after the locks are released, so a host may call back in from any callback.
#include "client/StreamClient.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "DebugTrace.h"
#include "HostCalls.h"
#include "PlayerManager.h"
#include "RtspUrl.h"
#include "TimeUnits.h"
#include "Vidora.h"

using namespace streamclient;

namespace {

constexpr int kMaxVideoParam = 255;
constexpr int kGrabPolls = 100;
constexpr auto kGrabPollPause = std::chrono::milliseconds(200);

bool ValidHandle(int handle) {
  return PlayerManager::Instance().Initialised() && handle >= 0 && handle < kMaxPlayers;
}

// Runs body(player) under the handle's lock and the player's lock; -1 (after the trace, if
// one is given) when the handle names no player.
template <typename Body>
int WithPlayer(int handle, const char* missingTrace, Body&& body) {
  if (!ValidHandle(handle)) return -1;
  PlayerManager& manager = PlayerManager::Instance();
  std::lock_guard handleGuard(manager.HandleLock(handle));
  Player* player = manager.Find(handle);
  if (!player) {
    if (missingTrace) DebugTrace(missingTrace);
    return -1;
  }
  std::lock_guard playerGuard(player->lock);
  return body(*player);
}

// The player's adaptor operation, or -1 without session or media stream.
template <typename Operation>
int WithAdaptor(Player& player, Operation&& operation) {
  if (!player.session) return -1;
  return player.session->WithPlayer(operation);
}

// A state-changing exchange: on 0 the player moves to `next` and the call reports `success`.
template <typename Exchange>
int Transition(Player& player, PlayerState required, PlayerState next, int success,
               Exchange&& exchange) {
  if (player.state != required || !player.session) return -1;
  const int result = exchange(*player.session);
  if (result != 0) return result;
  player.state = next;
  return success;
}

bool PlayingLive(const Player& player) {
  return player.state == PlayerState::kPlaying && player.session && IsLivePath(player.path);
}

// Like WithPlayer, then releases the player and its id whatever the body returned. The
// player lock is let go before the player is freed; the session's threads are waited for once
// no lock is held, as they may be inside a host callback that calls into the library.
template <typename Body>
int EndPlayer(int handle, Body&& body) {
  if (!ValidHandle(handle)) return -1;
  PlayerManager& manager = PlayerManager::Instance();
  int result;
  std::shared_ptr<RtspSession> ending;
  {
    std::lock_guard handleGuard(manager.HandleLock(handle));
    Player* player = manager.Find(handle);
    if (!player) return -1;
    {
      std::lock_guard playerGuard(player->lock);
      result = body(*player);
      ending = std::move(player->session);
    }
    manager.Release(player);
  }
  if (ending) ending->AwaitEnd();
  return result;
}

void GrabCallBack(LONG port, BYTE* buffer, LONG size, LONG width, LONG height, LONG,
                  LONG frameType, LONG) {
  if (port < 0 || port >= kGrabSlots) return;
  GrabTable& grabs = PlayerManager::Instance().Grabs();
  std::string path;
  uint16_t type = 0;
  grabs.Target(port, path, type);
  if (type == static_cast<uint16_t>(GrabType::kBmp)) {
    Vidora_ConvertToBmpFile(buffer, size, width, height, frameType, path.c_str());
  } else if (type == static_cast<uint16_t>(GrabType::kJpeg)) {
    Vidora_ConvertToJpegFile(buffer, size, width, height, frameType, path.c_str());
  }
  Vidora_SetDisplayCallBack(port, nullptr);
  grabs.SetDone(port);
}

}  // namespace

int InitStreamClientLib() { return PlayerManager::Instance().Init(); }

int FiniStreamClientLib() { return 0; }

int QRLS_CreatePlayer(StreamSink* pSink, int window, DataCallBack data, MsgFunc pMsgFunc,
                      int transport) {
  if (!pSink && !pMsgFunc) {
    DebugTrace("zxq--------pSink and pMsgFunc can not both be null!\n");
    return -1;
  }
  const int id = PlayerManager::Instance().Create(pSink, window, data, pMsgFunc, transport);
  if (id < 0) DebugTrace("zxq--------CreatePlayer CreatePlayer failed!\n");
  return id;
}

int QRLS_OpenURL(int handle, const char* url, int userData) {
  if (!ValidHandle(handle)) return -1;
  HostCalls calls;
  std::shared_ptr<RtspSession> previous;
  const int result =
      WithPlayer(handle, "zxq--------OpenURL player is not existed!\n", [&](Player& player) {
        if (player.state != PlayerState::kIdle || !url) return -1;
        const RtspUrl parsed = RtspUrl::Parse(url);
        if (!IsPlayableUrl(parsed)) return -1;
        // A session left by an earlier failed open would otherwise keep its thread forever.
        if (player.session) {
          player.session->Destroy();
          previous = std::move(player.session);
        }
        player.path = parsed.path;
        player.userData = userData;
        const SessionHost host{handle,      userData,        player.window,   player.sink,
                               player.data, player.messages, player.transport};
        player.session = RtspSession::Start(host, PlayerManager::Instance().Pools(),
                                            PlayerManager::Instance().Timings());
        if (!player.session) return -1;
        const int connected = player.session->Connect(url, calls);
        if (connected != 0) return connected;
        player.path = player.session->Path();  // where a redirect led
        player.state = PlayerState::kOpened;
        return 1;
      });
  if (previous) previous->AwaitEnd();
  if (result != 1) DebugTrace("zxq--------OpenURL failed2\n");
  calls.Run();
  return result;
}

int QRLS_Play(int handle) {
  return WithPlayer(handle, "zxq--------Play player is not existed!\n", [](Player& player) {
    if (player.state != PlayerState::kOpened || !player.session) {
      DebugTrace("zxq--------state is wrong!\n");
      return -1;
    }
    return Transition(player, PlayerState::kOpened, PlayerState::kPlaying, 1,
                      [](RtspSession& session) { return session.Play(); });
  });
}

int QRLS_RandomPlay(int handle, int position) {
  return WithPlayer(handle, nullptr, [position](Player& player) {
    if (player.state != PlayerState::kPlaying && player.state != PlayerState::kPaused) return -1;
    return Transition(player, player.state, player.state, 1, [position](RtspSession& session) {
      return session.Seek(static_cast<uint32_t>(position));
    });
  });
}

int QRLS_Pause(int handle) {
  return WithPlayer(handle, nullptr, [](Player& player) {
    return Transition(player, PlayerState::kPlaying, PlayerState::kPaused, 1,
                      [](RtspSession& session) { return session.Pause(); });
  });
}

int QRLS_Resume(int handle) {
  return WithPlayer(handle, nullptr, [](Player& player) {
    return Transition(player, PlayerState::kPaused, PlayerState::kPlaying, 1,
                      [](RtspSession& session) { return session.Resume(); });
  });
}

int QRLS_ChangeRate(int handle, int scale) {
  return WithPlayer(handle, nullptr, [scale](Player& player) {
    return Transition(player, PlayerState::kPlaying, PlayerState::kPlaying, 0,
                      [scale](RtspSession& session) { return session.Scale(scale); });
  });
}

int QRLS_GetCurTime(int handle, int* time) {
  return WithPlayer(handle, nullptr, [time](Player& player) {
    if (player.state != PlayerState::kPlaying || !time) return -1;
    DWORD ms = 0;
    if (WithAdaptor(player, [&ms](VidoraPlayer& adaptor) { return adaptor.PlayedTime(ms); }) != 0) {
      return -1;
    }
    *time = PlayedMsToUnits(ms);
    return 0;
  });
}

int QRLS_Stop(int handle) {
  return EndPlayer(handle, [](Player& player) {
    const bool stoppable = player.state != PlayerState::kIdle && player.session;
    player.state = PlayerState::kIdle;
    if (stoppable) {
      player.session->Stop();
      return 0;
    }
    // A session left by a failed open is torn down too, so no thread outlives its handle.
    if (player.session) player.session->Destroy();
    return -1;
  });
}

int QRLS_Destroy(int handle) {
  return EndPlayer(handle, [](Player& player) {
    if (player.session) {
      player.state = PlayerState::kIdle;
      player.session->Destroy();
    }
    return 0;
  });
}

int QRLS_SetVolume(int handle, int volume) {
  return WithPlayer(handle, nullptr, [volume](Player& player) {
    if (player.state == PlayerState::kIdle) return -1;
    return WithAdaptor(player, [volume](VidoraPlayer& adaptor) { return adaptor.SetVolume(volume); });
  });
}

int QRLS_GetVideoParams(int handle, int* brightness, int* contrast, int* saturation, int* hue) {
  return WithPlayer(handle, nullptr, [=](Player& player) {
    if (!PlayingLive(player) || !brightness || !contrast || !saturation || !hue) return -1;
    VideoParams params;
    if (player.session->GetVideoParams(params) != 0) return -1;
    *brightness = params.brightness;
    *contrast = params.contrast;
    *saturation = params.saturation;
    *hue = params.hue;
    return 0;
  });
}

int QRLS_SetVideoParams(int handle, int brightness, int contrast, int saturation, int hue) {
  for (int value : {brightness, contrast, saturation, hue}) {
    if (value < 0 || value > kMaxVideoParam) return -1;
  }
  return WithPlayer(handle, nullptr, [=](Player& player) {
    if (!PlayingLive(player)) return -1;
    return player.session->SetVideoParams({brightness, contrast, saturation, hue});
  });
}

int QRLS_PTZControl(int handle, int command, int param1, int param2, int param3, int param4) {
  return WithPlayer(handle, nullptr, [=](Player& player) {
    if (!PlayingLive(player)) return -1;
    PtzCommand ptz{static_cast<unsigned>(command),
                   {static_cast<unsigned>(param1), static_cast<unsigned>(param2),
                    static_cast<unsigned>(param3), static_cast<unsigned>(param4)}};
    return player.session->Ptz(ptz);
  });
}

int QRLS_ThrowBFrameNum(int handle, int count) {
  return WithPlayer(handle, nullptr, [count](Player& player) {
    return WithAdaptor(player, [count](VidoraPlayer& adaptor) { return adaptor.ThrowBFrames(count); });
  });
}

int QRLS_OpenSound(int handle, int exclusive) {
  return WithPlayer(handle, nullptr, [exclusive](Player& player) {
    return WithAdaptor(player, [exclusive](VidoraPlayer& adaptor) { return adaptor.SoundOn(exclusive); });
  });
}

int QRLS_CloseSound(int handle) {
  return WithPlayer(handle, nullptr, [](Player& player) {
    return WithAdaptor(player, [](VidoraPlayer& adaptor) { return adaptor.SoundOff(); });
  });
}

int QRLS_GrabPic(int handle, const char* path, int type) {
  if (!ValidHandle(handle) || !path || std::strlen(path) > kMaxGrabPath) return -1;
  PlayerManager& manager = PlayerManager::Instance();
  std::lock_guard handleGuard(manager.HandleLock(handle));
  const int slot = handle % kGrabSlots;
  manager.Grabs().Arm(slot, path, static_cast<uint16_t>(type));
  Player* player = manager.Find(handle);
  if (!player) return -1;
  {
    std::lock_guard playerGuard(player->lock);
    if (player->window == 0) return -1;
  }
  manager.Grabs().ClearDone(slot);
  if (!Vidora_SetDisplayCallBack(slot, GrabCallBack)) return -1;
  // The handle stays locked while the next displayed frame is awaited (20 s at most).
  for (int poll = 0; poll < kGrabPolls && !manager.Grabs().Done(slot); ++poll) {
    std::this_thread::sleep_for(kGrabPollPause);
  }
  if (manager.Grabs().Done(slot)) return 0;
  // No picture was written: a host told otherwise would go looking for a file that is not
  // there. A frame shown later must not write it behind the host's back either.
  Vidora_SetDisplayCallBack(slot, nullptr);
  return -1;
}

int QRLS_ResetWndHandle(int handle, int window) {
  return WithPlayer(handle, nullptr, [window](Player& player) {
    if (!player.session) return -1;
    player.window = window;
    return player.session->ResetWindow(window);
  });
}

int QRLS_ResetDataCallBack(int handle, DataCallBack data) {
  return WithPlayer(handle, nullptr, [data](Player& player) {
    player.data = data;
    return player.session ? player.session->SetDataCallBack(data) : -1;
  });
}

int QRLS_GetHeader(int handle, unsigned char* buffer, int size) {
  return WithPlayer(handle, nullptr, [buffer, size](Player& player) {
    if (!player.session || !buffer) return -1;
    return player.session->Header(buffer, size);
  });
}

int QRLS_RefreshPlay(int handle) {
  return WithPlayer(handle, nullptr, [](Player& player) {
    return WithAdaptor(player, [](VidoraPlayer& adaptor) { return adaptor.Refresh(); });
  });
}
