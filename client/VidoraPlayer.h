// The adaptor between one media stream and one port of the player SDK. The port is the player
// handle mod 100. Every operation but ThrowBFrames needs the adaptor opened with a window and
// returns -1 otherwise, so a player without a window refuses quietly.
//
// The receive thread calls Input(); API threads call the rest under the session lock. The
// adaptor's own lock (a leaf: nothing is locked inside it) keeps its fields consistent between
// the two; the SDK itself is safe to call from both threads for one port.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "Vidora.h"

namespace streamclient {

class VidoraPlayer {
 public:
  VidoraPlayer() = default;
  VidoraPlayer(const VidoraPlayer&) = delete;
  VidoraPlayer& operator=(const VidoraPlayer&) = delete;
  ~VidoraPlayer() { Close(); }

  int Open(int handle, int window, bool notLive);
  void Close();
  // Keeps a copy of the header (whole, whatever its length) and (re)opens the SDK stream.
  int OpenStream(const uint8_t* header, int length);
  int Input(const uint8_t* bytes, int length);
  int Play();
  int Pause();
  int Stop();
  int PlayedTime(DWORD& ms);
  // direction > 0 one step faster, < 0 one step slower.
  int SpeedStep(int direction);
  int SetVolume(int volume);
  int Refresh();
  int ThrowBFrames(int count);
  int SoundOn(int exclusive);
  int SoundOff();
  // Stops and closes the SDK stream; with a non-zero flag opens it again from the kept header
  // and plays.
  int Reopen(int flag);

 private:
  enum class PlayState { kPlaying = 0, kPaused = 1, kStopped = 2 };
  enum class SoundMode { kNone = 0, kShared = 1, kExclusive = 2 };

  bool Usable() const { return open_ && port_ >= 0; }  // lock_ held
  int PlayLocked();                                     // lock_ held
  int StopLocked();                                     // lock_ held
  int OpenSdkStreamLocked();                            // lock_ held

  std::mutex lock_;
  LONG port_ = -1;                            // guarded by lock_
  int window_ = 0;                            // guarded by lock_
  bool open_ = false;                         // guarded by lock_
  std::vector<BYTE> header_;                  // guarded by lock_
  PlayState playState_ = PlayState::kStopped;  // guarded by lock_
  SoundMode sound_ = SoundMode::kNone;        // guarded by lock_
};

}  // namespace streamclient
