// DeviceStreamer: one stream of the simulated recorder on its stream connection: the
// recording's FileHeader as a HEADER frame, then its pieces as STREAM frames at the pace of
// their stream time, looped for a live view, once and followed by END for a playback (which stays open
// at its end until the host jumps back or leaves).
//
// Threads: the connection's thread runs Run(); the control connection's thread (another
// connection) calls Start, Pause, Resume and SeekPercent. Shared members are guarded by
// lock_.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

#include "DeviceOptions.h"
#include "StreamCursor.h"

namespace recsim {

struct StreamerSettings {
  StreamCursor::Mode mode = StreamCursor::Mode::Loop;
  uint32_t pacePercent = 100;  // of real time; 0 as fast as the socket takes it
  bool waitForStart = false;   // a playback sends nothing before Start
  int64_t startTime = 0;       // stream time to begin at, 100 ns units
  DeviceFaults faults;
};

class DeviceStreamer {
 public:
  DeviceStreamer(std::shared_ptr<const RecordingFile> file, StreamerSettings settings);

  // Sends until the stream ends, the peer leaves or `stop` is set.
  void Run(int fd, const std::atomic<bool>& stop);

  void Start();
  void Pause();
  void Resume();
  void SeekPercent(uint32_t percent);  // 0 to 100 of the recording

 private:
  enum class Step { Send, Again, End };
  Step NextPiece(int fd, const std::atomic<bool>& stop, std::optional<TimedBytes>& piece);
  bool WaitSlice(std::unique_lock<std::mutex>& guard, int fd, const std::atomic<bool>& stop);
  bool SendHeader(int fd);
  bool SendPiece(int fd, const TimedBytes& piece, const std::atomic<bool>& stop);

  const std::shared_ptr<const RecordingFile> file_;
  const StreamerSettings settings_;
  uint64_t bytesSent_ = 0;  // used by the connection's thread only

  std::mutex lock_;
  std::condition_variable wake_;
  StreamCursor cursor_;                    // guarded by lock_
  bool started_ = false;                   // guarded by lock_
  bool paused_ = false;                    // guarded by lock_
  bool atEnd_ = false;                     // guarded by lock_: END sent, nothing since
  bool moved_ = false;                     // guarded by lock_: seeked since the last piece
  bool anchored_ = false;                  // guarded by lock_
  std::chrono::steady_clock::time_point anchorWall_;  // guarded by lock_
  int64_t anchorTime_ = 0;                 // guarded by lock_
};

}  // namespace recsim
