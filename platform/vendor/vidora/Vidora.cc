// The exported functions of the player SDK: the table of 100 ports and the sound state.
#include "Vidora.h"

#include <array>
#include <memory>
#include <mutex>

#include "PictureFile.h"
#include "VidoraPort.h"

namespace {

using vidora::VidoraPort;

struct PortSlot {
  std::mutex lock;  // guards port and openMode (never held while a playing thread ends)
  std::shared_ptr<VidoraPort> port;
  DWORD openMode = VIDORA_STREAM_REALTIME;
  // Set and read without the lock: the display callback may clear it from inside a call.
  std::atomic<VidoraDisplayCallBack> displayCallBack{nullptr};
};

std::array<PortSlot, VIDORA_MAX_PORT>& Slots() {
  static std::array<PortSlot, VIDORA_MAX_PORT> slots;
  return slots;
}

bool ValidPort(LONG port) { return port >= 0 && port < VIDORA_MAX_PORT; }

PortSlot* SlotOf(LONG port) { return ValidPort(port) ? &Slots()[port] : nullptr; }

// The open port, kept alive for the length of the caller's use.
std::shared_ptr<VidoraPort> OpenPort(LONG port) {
  PortSlot* slot = SlotOf(port);
  if (slot == nullptr) return nullptr;
  std::lock_guard guard(slot->lock);
  return slot->port;
}

// Who sounds: one port exclusively, or any number of sharing ports. There is no audio
// device behind the player; the state is what the host switches and can rely on.
struct SoundState {
  std::mutex lock;  // guards exclusivePort and shared
  LONG exclusivePort = -1;
  std::array<bool, VIDORA_MAX_PORT> shared{};
};

SoundState& Sound() {
  static SoundState sound;
  return sound;
}

// A closed port sounds no more, whichever way it sounded.
void ReleaseSound(LONG port) {
  SoundState& sound = Sound();
  std::lock_guard guard(sound.lock);
  sound.shared[port] = false;
  if (sound.exclusivePort == port) sound.exclusivePort = -1;
}

template <typename Action>
BOOL WithPort(LONG port, Action action) {
  const auto open = OpenPort(port);
  return open && action(*open) ? TRUE : FALSE;
}

}  // namespace

BOOL Vidora_SetStreamOpenMode(LONG port, DWORD mode) {
  PortSlot* slot = SlotOf(port);
  if (slot == nullptr || (mode != VIDORA_STREAM_REALTIME && mode != VIDORA_STREAM_FILE))
    return FALSE;
  std::lock_guard guard(slot->lock);
  slot->openMode = mode;
  return TRUE;
}

BOOL Vidora_OpenStream(LONG port, BYTE* header, DWORD headerSize, DWORD bufferPoolSize) {
  PortSlot* slot = SlotOf(port);
  if (slot == nullptr || header == nullptr || bufferPoolSize < VIDORA_MIN_SOURCE_BUFFER ||
      bufferPoolSize > VIDORA_MAX_SOURCE_BUFFER)
    return FALSE;
  std::lock_guard guard(slot->lock);
  if (slot->port) return FALSE;
  const vidora::PortOptions options{port, slot->openMode, bufferPoolSize, &slot->displayCallBack};
  slot->port = VidoraPort::Open(recorder::ByteSpan(header, headerSize), options);
  return slot->port ? TRUE : FALSE;
}

BOOL Vidora_CloseStream(LONG port) {
  PortSlot* slot = SlotOf(port);
  if (slot == nullptr) return FALSE;
  std::shared_ptr<VidoraPort> closing;
  {
    std::lock_guard guard(slot->lock);
    if (!slot->port || slot->port->IsPlayingThread()) return FALSE;
    closing = std::move(slot->port);
  }
  closing->Stop();
  ReleaseSound(port);
  return TRUE;
}

BOOL Vidora_InputData(LONG port, BYTE* buffer, DWORD size) {
  if (buffer == nullptr && size > 0) return FALSE;
  return WithPort(port, [&](VidoraPort& p) { return p.Input(recorder::ByteSpan(buffer, size)); });
}

BOOL Vidora_ResetSourceBuffer(LONG port) {
  return WithPort(port, [](VidoraPort& p) {
    p.ResetSource();
    return true;
  });
}

BOOL Vidora_Play(LONG port, HWND window) {
  return WithPort(port, [&](VidoraPort& p) { return p.Play(window); });
}

BOOL Vidora_Pause(LONG port, DWORD pause) {
  return WithPort(port, [&](VidoraPort& p) { return p.Pause(pause != 0); });
}

BOOL Vidora_Stop(LONG port) {
  return WithPort(port, [](VidoraPort& p) { return p.Stop(); });
}

DWORD Vidora_GetPlayedTimeEx(LONG port) {
  const auto open = OpenPort(port);
  return open ? open->PlayedMs() : 0;
}

BOOL Vidora_Fast(LONG port) {
  return WithPort(port, [](VidoraPort& p) { return p.Faster(); });
}

BOOL Vidora_Slow(LONG port) {
  return WithPort(port, [](VidoraPort& p) { return p.Slower(); });
}

BOOL Vidora_RefreshPlay(LONG port) {
  return WithPort(port, [](VidoraPort& p) { return p.Refresh(); });
}

BOOL Vidora_ThrowBFrameNum(LONG port, DWORD num) {
  if (!ValidPort(port)) return FALSE;
  if (const auto open = OpenPort(port)) open->SetSkipBFrames(num != 0);
  return TRUE;
}

BOOL Vidora_SetVolume(LONG port, WORD) {
  return OpenPort(port) ? TRUE : FALSE;
}

BOOL Vidora_PlaySound(LONG port) {
  if (!OpenPort(port)) return FALSE;
  SoundState& sound = Sound();
  std::lock_guard guard(sound.lock);
  sound.shared.fill(false);
  sound.exclusivePort = port;
  return TRUE;
}

BOOL Vidora_StopSound() {
  SoundState& sound = Sound();
  std::lock_guard guard(sound.lock);
  if (sound.exclusivePort < 0) return FALSE;
  sound.exclusivePort = -1;
  return TRUE;
}

BOOL Vidora_PlaySoundShare(LONG port) {
  if (!OpenPort(port)) return FALSE;
  SoundState& sound = Sound();
  std::lock_guard guard(sound.lock);
  if (sound.exclusivePort >= 0) return FALSE;
  sound.shared[port] = true;
  return TRUE;
}

BOOL Vidora_StopSoundShare(LONG port) {
  if (!ValidPort(port)) return FALSE;
  SoundState& sound = Sound();
  std::lock_guard guard(sound.lock);
  if (!sound.shared[port]) return FALSE;
  sound.shared[port] = false;
  return TRUE;
}

BOOL Vidora_SetDisplayCallBack(LONG port, VidoraDisplayCallBack callback) {
  PortSlot* slot = SlotOf(port);
  if (slot == nullptr) return FALSE;
  slot->displayCallBack = callback;
  return TRUE;
}

BOOL Vidora_ConvertToBmpFile(BYTE* buffer, LONG size, LONG width, LONG height, LONG frameType,
                             const char* fileName) {
  if (frameType != VIDORA_FRAME_YV12 || fileName == nullptr) return FALSE;
  const auto picture = vidora::Yv12Input::Check(buffer, size, width, height);
  return picture && vidora::WriteBmpFile(*picture, fileName) ? TRUE : FALSE;
}

BOOL Vidora_ConvertToJpegFile(BYTE* buffer, LONG size, LONG width, LONG height,
                              LONG frameType, const char* fileName) {
  if (frameType != VIDORA_FRAME_YV12 || fileName == nullptr) return FALSE;
  const auto picture = vidora::Yv12Input::Check(buffer, size, width, height);
  return picture && vidora::WriteJpegFile(*picture, fileName) ? TRUE : FALSE;
}
