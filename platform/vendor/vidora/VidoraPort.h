// VidoraPort: one open port of the player SDK. It owns the source buffer the host feeds, and
// while playing a thread that takes the stream out of it, reassembles the groups, decodes
// the video, waits until each picture is due and shows it: to the display callback, into
// the frame sink of the window, and as the picture Vidora_RefreshPlay paints again.
//
// Threads and locks: API threads call the public methods; the playing thread runs Run().
// Lock order: threadLock_ (start and end of the playing thread; never taken by it), then
// lock_ (state, source buffer, clock), then pictureLock_ (the last picture). The display
// callback and frame sinks are called with no port lock held.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "recorder/GroupAssembler.h"
#include "PaceClock.h"
#include "RecorderVideoDecoder.h"
#include "Vidora.h"
#include "Yv12Picture.h"

namespace vidora {

struct PortOptions {
  LONG port = 0;
  DWORD openMode = VIDORA_STREAM_REALTIME;
  size_t sourceBufferSize = 0;
  // The port's display callback slot; owned by the port table, outlives the port.
  const std::atomic<VidoraDisplayCallBack>* displayCallBack = nullptr;
};

class VidoraPort {
 public:
  // A port for the stream whose FileHeader is `header`; nullptr when the header is short or
  // names no video family we decode.
  static std::unique_ptr<VidoraPort> Open(recorder::ByteSpan header, const PortOptions& options);
  ~VidoraPort();

  bool Input(recorder::ByteSpan bytes);
  void ResetSource();

  bool Play(HWND window);
  bool Pause(bool pause);
  bool Stop();
  DWORD PlayedMs();
  bool Faster();
  bool Slower();
  bool Refresh();
  void SetSkipBFrames(bool skip) { skipBFrames_ = skip; }

  // True on the port's own playing thread, which must not stop or close the port.
  bool IsPlayingThread() const;

 private:
  enum class State { Stopped, Playing, Paused };
  struct Pending {
    AVFrame* frame = nullptr;
    int64_t duration = 0;  // 100 ns units
  };

  VidoraPort(const PortOptions& options, std::unique_ptr<vendor::RecorderVideoDecoder> decoder);
  void EndThread();
  void Run();
  bool DecodeNextGroup(std::unique_lock<std::mutex>& lock);
  void QueueFrame(const AVFrame& frame, int64_t duration);
  void DiscardDecoded();
  void Present(Pending pending, HWND window);

  const PortOptions options_;

  std::mutex threadLock_;  // guards thread_ (its start and join)
  std::thread thread_;

  std::mutex lock_;
  std::condition_variable wake_;  // state, source data or a discard request changed
  State state_ = State::Stopped;                 // guarded by lock_
  bool quit_ = false;                            // guarded by lock_; ends the playing thread
  bool discardRequested_ = false;                // guarded by lock_
  HWND window_ = 0;                              // guarded by lock_
  std::vector<uint8_t> source_;                  // guarded by lock_
  PaceClock clock_{VIDORA_MAX_SPEED_STEP};       // guarded by lock_
  std::atomic<bool> skipBFrames_{false};
  std::atomic<std::thread::id> playingThread_;

  // Owned by the playing thread while it runs (and by no one else).
  recorder::GroupAssembler assembler_;
  std::unique_ptr<vendor::RecorderVideoDecoder> decoder_;
  std::deque<Pending> pending_;
  int64_t frameDuration_;  // of the last group with a frame rate, 100 ns units
  int64_t streamTime_ = 0;  // of the next video block since the last discard, 100 ns units
  std::unique_ptr<vendor::Yv12Picture> current_ = std::make_unique<vendor::Yv12Picture>();

  std::mutex pictureLock_;  // guards last_
  std::unique_ptr<vendor::Yv12Picture> last_ = std::make_unique<vendor::Yv12Picture>();
};

}  // namespace vidora
