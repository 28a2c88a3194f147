#include "VidoraPlayer.h"

#include <chrono>
#include <thread>

#include "DebugTrace.h"

namespace streamclient {

namespace {
constexpr DWORD kSourceBufferSize = 1310720;
constexpr int kInputTries = 4;
constexpr auto kInputRetryPause = std::chrono::milliseconds(10);
constexpr int kPortCount = 100;

int Result(BOOL ok) { return ok ? 0 : -1; }
}  // namespace

int VidoraPlayer::Open(int handle, int window, bool notLive) {
  if (handle < 0 || window == 0) return -1;
  std::lock_guard guard(lock_);
  port_ = handle % kPortCount;
  window_ = window;
  Vidora_SetStreamOpenMode(port_, notLive ? VIDORA_STREAM_FILE : VIDORA_STREAM_REALTIME);
  open_ = true;
  return 0;
}

void VidoraPlayer::Close() {
  std::lock_guard guard(lock_);
  if (open_ && port_ != -1) Vidora_CloseStream(port_);
  open_ = false;
  port_ = -1;
  window_ = 0;
  header_.clear();
}

int VidoraPlayer::OpenSdkStreamLocked() {
  return Result(Vidora_OpenStream(port_, header_.data(), static_cast<DWORD>(header_.size()),
                                  kSourceBufferSize));
}

int VidoraPlayer::OpenStream(const uint8_t* header, int length) {
  std::lock_guard guard(lock_);
  header_.assign(header, header + (length > 0 ? length : 0));
  if (!Usable()) return -1;
  Vidora_CloseStream(port_);
  return OpenSdkStreamLocked();
}

int VidoraPlayer::Input(const uint8_t* bytes, int length) {
  for (int attempt = 1;; ++attempt) {
    {
      std::lock_guard guard(lock_);
      if (!Usable()) return -1;
      if (Vidora_InputData(port_, const_cast<BYTE*>(bytes), static_cast<DWORD>(length))) return 0;
    }
    if (attempt == kInputTries) break;
    std::this_thread::sleep_for(kInputRetryPause);
  }
  DebugTrace("zxq--------input failed finally!\n");
  return 0;
}

int VidoraPlayer::PlayLocked() {
  if (!Usable()) return -1;
  if (playState_ == PlayState::kStopped) {
    Vidora_ResetSourceBuffer(port_);
    if (!Vidora_Play(port_, window_)) return -1;
  } else if (playState_ == PlayState::kPaused) {
    if (!Vidora_Pause(port_, 0)) return -1;
  }
  playState_ = PlayState::kPlaying;
  return 0;
}

int VidoraPlayer::Play() {
  std::lock_guard guard(lock_);
  return PlayLocked();
}

int VidoraPlayer::Pause() {
  std::lock_guard guard(lock_);
  if (!Usable() || playState_ != PlayState::kPlaying) return -1;
  if (!Vidora_Pause(port_, 1)) return -1;
  playState_ = PlayState::kPaused;
  return 0;
}

int VidoraPlayer::StopLocked() {
  if (!Usable() || playState_ == PlayState::kStopped) return -1;
  if (!Vidora_Stop(port_)) return -1;
  Vidora_ResetSourceBuffer(port_);
  playState_ = PlayState::kStopped;
  return 0;
}

int VidoraPlayer::Stop() {
  std::lock_guard guard(lock_);
  return StopLocked();
}

int VidoraPlayer::PlayedTime(DWORD& ms) {
  std::lock_guard guard(lock_);
  if (!Usable() || playState_ != PlayState::kPlaying) return -1;
  ms = Vidora_GetPlayedTimeEx(port_);
  return 0;
}

int VidoraPlayer::SpeedStep(int direction) {
  std::lock_guard guard(lock_);
  if (!Usable() || playState_ != PlayState::kPlaying) return -1;
  if (direction > 0) return Result(Vidora_Fast(port_));
  if (direction < 0) return Result(Vidora_Slow(port_));
  return 0;
}

int VidoraPlayer::SetVolume(int volume) {
  std::lock_guard guard(lock_);
  if (!Usable() || playState_ == PlayState::kStopped) return -1;
  return Result(Vidora_SetVolume(port_, static_cast<WORD>(volume)));
}

int VidoraPlayer::Refresh() {
  std::lock_guard guard(lock_);
  if (!Usable()) return -1;
  return Result(Vidora_RefreshPlay(port_));
}

int VidoraPlayer::ThrowBFrames(int count) {
  std::lock_guard guard(lock_);
  if (port_ < 0) return -1;
  return Result(Vidora_ThrowBFrameNum(port_, static_cast<DWORD>(count)));
}

int VidoraPlayer::SoundOn(int exclusive) {
  std::lock_guard guard(lock_);
  if (!Usable()) return -1;
  if (exclusive & 0xFF) {
    if (!Vidora_PlaySound(port_)) return -1;
    sound_ = SoundMode::kExclusive;
  } else {
    if (!Vidora_PlaySoundShare(port_)) return -1;
    sound_ = SoundMode::kShared;
  }
  return 0;
}

int VidoraPlayer::SoundOff() {
  std::lock_guard guard(lock_);
  if (!Usable()) return -1;
  BOOL ok = TRUE;
  if (sound_ == SoundMode::kShared) ok = Vidora_StopSoundShare(port_);
  if (sound_ == SoundMode::kExclusive) ok = Vidora_StopSound();
  sound_ = SoundMode::kNone;
  return Result(ok);
}

int VidoraPlayer::Reopen(int flag) {
  std::lock_guard guard(lock_);
  if (!Usable() || header_.empty()) return -1;
  StopLocked();
  Vidora_CloseStream(port_);
  if (flag == 0) return 0;
  if (OpenSdkStreamLocked() != 0) return -1;
  return PlayLocked();
}

}  // namespace streamclient
