// One opened player's RTSP session: the control connection, its keep-alive thread and the
// media stream. It performs SETUP, PLAY, PAUSE, TEARDOWN and the OPTIONS commands, opens the
// media stream on a successful SETUP and reports open results and connection loss to the
// host.
//
// Lifetime: the player holds the session and the keep-alive thread holds it too; the thread
// closes the connection when it ends. Stop() and Destroy() ask the threads to end; AwaitEnd()
// waits for them with no library lock held, since either may be inside a host callback that
// calls back into the library (QRLS_Stop included), and then gives the client port back.
//
// Locks: the session lock guards the connection, the media stream and the stored headers and
// is held for every request-answer exchange of the host's calls. The keep-alive thread holds
// it only to send and to read what has arrived, never while it waits for its answer. Host
// notifications decided under it are queued and made after it is released. It comes after
// the player lock; the media stream's adaptor lock comes after it. The receive thread never
// takes it.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "ExitSignal.h"
#include "HostCalls.h"
#include "MediaStream.h"
#include "PortPool.h"
#include "RtspConnection.h"
#include "RtspUrl.h"
#include "client/StreamClient.h"

namespace streamclient {

// What the player hands to its session.
struct SessionHost {
  int handle = -1;
  int userData = 0;
  int window = 0;
  StreamSink* sink = nullptr;
  DataCallBack data = nullptr;
  MsgFunc messages = nullptr;
  int transportSelector = 0;  // 0 selects TCP media transport, anything else UDP
};

// Redirects a SETUP may lead through before the open gives up.
constexpr int kMaxRedirects = 3;

class RtspSession final : public RtspConnectionEvents,
                          public std::enable_shared_from_this<RtspSession> {
 public:
  RtspSession(const SessionHost& host, PortPools& pools, const RtspTimings& timings);

  // Creates the media stream object and starts the keep-alive thread; null when the host
  // gives neither window nor data callback, neither sink nor message callback, or a negative
  // handle, or when the thread cannot start.
  static std::shared_ptr<RtspSession> Start(const SessionHost& host, PortPools& pools,
                                            const RtspTimings& timings);

  // Parses the URL, connects the control connection and performs SETUP, following up to
  // kMaxRedirects redirects; 0 on success. The open notifications are added to `calls`, for
  // the caller to make once it holds no lock.
  int Connect(const std::string& url, HostCalls& calls);
  int Play();
  int Seek(uint32_t position);
  int Pause();
  int Resume();
  int Scale(int scale);
  int GetVideoParams(VideoParams& params);
  int SetVideoParams(const VideoParams& params);
  int Ptz(const PtzCommand& command);
  // Stops the media stream, sends TEARDOWN and asks the keep-alive thread to end. Destroy()
  // does the same without TEARDOWN. Either is followed by AwaitEnd().
  int Stop();
  int Destroy();
  // Waits for the receive and keep-alive threads (not for the calling thread itself) and
  // gives the client port back. No library lock may be held.
  void AwaitEnd();

  // The path of the URL the stream comes from (the last redirect's, if any).
  std::string Path();
  // Media datagrams from other senders than the server, thrown away.
  uint64_t DroppedDatagrams();
  // A keep-alive was sent and its answer is still awaited.
  bool KeepAliveOutstanding();

  // The stored stream header: its length, or -1 when none is stored or size is too small.
  int Header(unsigned char* buffer, int size);
  // 0, or -1 without media stream.
  int SetDataCallBack(DataCallBack callback);
  int ResetWindow(int window);
  // Runs an adaptor operation under the session lock; -1 without media stream.
  int WithPlayer(const std::function<int(VidoraPlayer&)>& operation);

  // RtspConnectionEvents, called under the session lock; host notifications are queued.
  bool OnSetupAnswered(const SetupAnswer& answer) override;
  void OnOpenFailed() override;
  void OnKeepAliveLost() override;
  VidoraPlayer* Player() override;

 private:
  static constexpr size_t kHeaderCapacity = 1024;
  static constexpr int kConnectWaitMs = 4000;
  static constexpr int kThreadStopWaitMs = 10000;
  // The keep-alive is due once the interval is exceeded, so the thread wakes just past it.
  static constexpr int kMinKeepAliveWaitMs = 1;

  int Setup();                                 // session lock held
  bool FollowRedirect(int redirects);          // session lock held
  UniqueFd OpenControlConnection() const;      // session lock held
  int WithConnection(const std::function<int(RtspConnection&)>& operation);
  PortPool& Pool() const;
  TransportParams Transport() const;           // session lock held
  void ReleaseStream();                        // session lock held
  void QueueHeader(const std::string& header);  // session lock held
  void KeepAliveLoop();
  bool SendKeepAlive();
  void AwaitKeepAliveAnswer(std::chrono::steady_clock::time_point deadline);

  const SessionHost host_;
  const HostContact contact_;
  const MediaTransport transport_;
  PortPools& pools_;
  const RtspTimings timings_;
  std::atomic<bool> stop_{false};
  WakeEvent stopWake_;  // wakes the keep-alive thread's waits; set after stop_
  ExitSignal keepAliveExited_;
  std::atomic<std::thread::id> keepAliveThread_{};

  std::mutex lock_;  // the session lock
  DataCallBack data_ = nullptr;                  // guarded by lock_
  int window_ = 0;                               // guarded by lock_
  RtspUrl url_;                                  // guarded by lock_
  std::unique_ptr<RtspConnection> connection_;   // guarded by lock_
  std::shared_ptr<MediaStream> stream_;          // guarded by lock_
  std::shared_ptr<MediaStream> stopping_;        // guarded by lock_: stopped, awaited by AwaitEnd
  uint16_t clientPort_ = 0;                      // guarded by lock_
  uint16_t serverPort_ = 0;                      // guarded by lock_
  in_addr serverAddress_{};                      // guarded by lock_
  std::string header_;                           // guarded by lock_
  HostCalls pending_;                            // guarded by lock_: made once it is released
};

}  // namespace streamclient
