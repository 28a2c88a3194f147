// MediaSender: the media of one session. It owns the server's media socket (a TCP listener
// the client connects to, or a UDP socket sending to the client port) and a thread that
// sends the recording's pieces at the pace of their stream time, scaled by the rate (or as
// fast as the socket takes them). UDP datagrams carry at most kMaxDatagram bytes.
//
// Threads: the session thread calls the public methods; the sender thread runs Run(). All
// shared members are guarded by lock_.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "Net.h"
#include "StreamCursor.h"

namespace recsim {

// The largest datagram a client reads whole.
constexpr size_t kMaxDatagram = 5108;

struct MediaSettings {
  bool tcp = true;
  sockaddr_in client{};  // UDP destination (address and client port)
  bool fast = false;
  uint64_t closeMediaAfter = 0;    // bytes; 0 = never
  uint64_t closeControlAfter = 0;  // bytes; 0 = never
  std::function<void()> closeControl;  // called once when closeControlAfter is reached
};

class MediaSender {
 public:
  // Opens the media socket; nullptr when it cannot be opened.
  static std::unique_ptr<MediaSender> Create(std::shared_ptr<const RecordingFile> file,
                                             StreamCursor::Mode mode, MediaSettings settings);
  ~MediaSender();

  uint16_t ServerPort() const { return serverPort_; }

  // Starts or resumes sending; with a time, continues from there.
  void Play(std::optional<int64_t> seekTime);
  void Pause();
  // The dialect's scale: n > 0 plays n times as fast, n < 0 1/|n| as fast, 0 normal.
  void SetScale(int scale);

  uint64_t BytesSent();

 private:
  MediaSender(std::shared_ptr<const RecordingFile> file, StreamCursor::Mode mode,
              MediaSettings settings, UniqueFd socket);
  void Run();
  bool WaitUntilDue(std::unique_lock<std::mutex>& lock, int64_t time);
  bool Send(recorder::ByteSpan bytes);
  bool SendDatagrams(recorder::ByteSpan bytes);
  void ApplyByteFaults(uint64_t before, uint64_t after);

  const MediaSettings settings_;
  UniqueFd socket_;  // the TCP listener or the UDP socket; used by the sender thread
  uint16_t serverPort_ = 0;
  UniqueFd connection_;  // the accepted TCP media connection; used by the sender thread
  std::atomic<bool> stop_{false};

  std::mutex lock_;
  std::condition_variable wake_;
  StreamCursor cursor_;                 // guarded by lock_
  std::optional<TimedBytes> pending_;   // guarded by lock_: next piece to send
  bool playing_ = false;                // guarded by lock_
  bool mediaClosed_ = false;            // guarded by lock_: broken or closed on purpose
  int rateNum_ = 1, rateDen_ = 1;       // guarded by lock_
  bool anchored_ = false;               // guarded by lock_
  std::chrono::steady_clock::time_point anchorWall_;  // guarded by lock_
  int64_t anchorTime_ = 0;              // guarded by lock_: stream time sent at anchorWall_
  uint64_t bytesSent_ = 0;              // guarded by lock_

  std::thread thread_;
};

}  // namespace recsim
