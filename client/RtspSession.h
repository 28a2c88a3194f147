// One opened player's RTSP session: the control connection, its keep-alive thread and the
// media stream. It performs SETUP, PLAY, PAUSE, TEARDOWN and the OPTIONS commands, opens the
// media stream on a successful SETUP and reports open results and connection loss to the
// host.
//
// Lifetime: the player holds the session and the keep-alive thread holds it too; the thread
// closes the connection when it ends. Stop() and Destroy() end the thread and wait for it.
//
// Locks: the session lock guards the connection, the media stream and the stored headers and
// is held for every request-answer exchange, including the open notifications. It comes after
// the player lock; the media stream's adaptor lock comes after it. The receive thread never
// takes it.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "ExitSignal.h"
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

class RtspSession final : public RtspConnectionEvents,
                          public std::enable_shared_from_this<RtspSession> {
 public:
  RtspSession(const SessionHost& host, PortPools& pools, const RtspTimings& timings);

  // Creates the media stream object and starts the keep-alive thread; null when the host
  // gives neither window nor data callback, neither sink nor message callback, or a negative
  // handle, or when the thread cannot start.
  static std::shared_ptr<RtspSession> Start(const SessionHost& host, PortPools& pools,
                                            const RtspTimings& timings);

  // Parses the URL, connects the control connection and performs SETUP; 0 on success.
  int Connect(const std::string& url);
  int Play();
  int Seek(uint32_t position);
  int Pause();
  int Resume();
  int Scale(int scale);
  int GetVideoParams(VideoParams& params);
  int SetVideoParams(const VideoParams& params);
  int Ptz(const PtzCommand& command);
  // Stops the media stream, sends TEARDOWN, gives the client port back and ends the
  // keep-alive thread. Destroy() does the same without TEARDOWN.
  int Stop();
  int Destroy();

  // The stored stream header: its length, or -1 when none is stored or size is too small.
  int Header(unsigned char* buffer, int size);
  // 0, or -1 without media stream.
  int SetDataCallBack(DataCallBack callback);
  int ResetWindow(int window);
  // Runs an adaptor operation under the session lock; -1 without media stream.
  int WithPlayer(const std::function<int(VidoraPlayer&)>& operation);

  // RtspConnectionEvents, called under the session lock.
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

  int Setup();
  UniqueFd OpenControlConnection() const;
  int WithConnection(const std::function<int(RtspConnection&)>& operation);
  PortPool& Pool() const;
  TransportParams Transport() const;
  void ReleaseStream();                     // session lock held
  void ReturnClientPort();                  // session lock held
  void DeliverHeader(std::string_view header);  // session lock held
  void KeepAliveLoop();
  void EndKeepAlive();

  const SessionHost host_;
  const MediaTransport transport_;
  PortPools& pools_;
  const RtspTimings timings_;
  std::atomic<bool> stop_{false};
  ExitSignal stopRequested_;  // wakes the keep-alive thread early; signalled after stop_
  ExitSignal keepAliveExited_;

  std::mutex lock_;  // the session lock
  DataCallBack data_ = nullptr;                  // guarded by lock_
  int window_ = 0;                               // guarded by lock_
  RtspUrl url_;                                  // guarded by lock_
  std::unique_ptr<RtspConnection> connection_;   // guarded by lock_
  std::shared_ptr<MediaStream> stream_;          // guarded by lock_
  uint16_t clientPort_ = 0;                      // guarded by lock_
  uint16_t serverPort_ = 0;                      // guarded by lock_
  in_addr serverAddress_{};                      // guarded by lock_
  std::string header_;                           // guarded by lock_
  std::array<unsigned char, kHeaderCapacity> callbackHeader_{};  // guarded by lock_
};

}  // namespace streamclient
