// The RTSP control connection of one session: fixed request texts, CSeq numbering, one
// request-answer exchange at a time, and the reactions to 200 answers. Notifications and
// player actions go back to the session through RtspConnectionEvents.
//
// Not thread-safe: the session calls every operation under its session lock.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "MediaSocket.h"
#include "RtspMessage.h"
#include "SocketOps.h"

namespace streamclient {

class VidoraPlayer;

enum class RequestKind {
  kSetup = 0,
  kTeardown = 1,
  kPlay = 2,  // from the start, or resume
  kPause = 3,
  kKeepAlive = 6,
  kSeek = 11,
  kScale = 12,
  kSetVideoParams = 13,
  kGetVideoParams = 14,
  kPtz = 15,
};

// Waits of the control connection. Tests shorten them; the defaults are the servers' dialect.
struct RtspTimings {
  int sendWaitMs = 3000;
  int receiveWaitMs = 8000;
  int keepAliveIntervalMs = 4000;
};

struct VideoParams {
  int brightness = 0;
  int contrast = 0;
  int saturation = 0;
  int hue = 0;
};

struct PtzCommand {
  unsigned command = 0;
  unsigned params[4] = {};
};

// What a 200 answer to SETUP carried.
struct SetupAnswer {
  int totalTime = -1;  // "timestamp" in 1/64 s, -1 when absent (a live stream)
  uint16_t serverPort = 0;
  std::string_view header;  // the answer's body: the stream header
};

class RtspConnectionEvents {
 public:
  // Opens the media stream and tells the host; false when opening failed (host told so).
  virtual bool OnSetupAnswered(const SetupAnswer& answer) = 0;
  virtual void OnOpenFailed() = 0;
  virtual void OnKeepAliveLost() = 0;
  // The media stream's adaptor, or null when there is no media stream.
  virtual VidoraPlayer* Player() = 0;

 protected:
  ~RtspConnectionEvents() = default;
};

constexpr unsigned kMaxKeepAliveMisses = 5;
constexpr const char* kUserAgent = "Qrlplayer";

class RtspConnection {
 public:
  RtspConnection(UniqueFd socket, RtspConnectionEvents& events, std::string requestUri,
                 const RtspTimings& timings);

  // Each returns the exchange result: 0 when an answer was handled, -1 on failure.
  int Setup(MediaTransport transport, uint16_t clientPort);
  int Play();
  int Seek(uint32_t position);
  int Pause();
  int Resume();
  int Scale(int scale);
  int Teardown();
  int KeepAlive();
  int GetVideoParams(VideoParams& params);
  int SetVideoParams(const VideoParams& params);
  int Ptz(const PtzCommand& command);

  const std::string& SessionId() const { return sessionId_; }
  int ScaleValue() const { return kScaleTable[scaleIndex_]; }

 private:
  static constexpr size_t kBufferSize = 1024;
  static constexpr std::array<int, 7> kScaleTable = {-8, -4, -2, 0, 2, 4, 8};
  static constexpr int kNormalScaleIndex = 3;

  int PlayFrom(RequestKind kind, uint32_t position);
  __attribute__((format(printf, 3, 4))) int Request(RequestKind kind, const char* format, ...);
  int BuiltRequest(RequestKind kind, const RtspMessage& message);
  int Exchange(RequestKind kind);
  void CountKeepAlive();
  int ReceiveAnswer(RequestKind kind);
  int Fail(RequestKind kind);
  int HandleAnswer(RequestKind kind, const RtspMessage& answer);
  int HandleOk(RequestKind kind, const RtspMessage& answer);
  int HandleSetupOk(const RtspMessage& answer);
  void HandleScaleOk(const RtspMessage& answer);
  int HandleVideoParamsOk(const RtspMessage& answer);
  RtspMessage OptionsRequest() const;

  UniqueFd socket_;
  RtspConnectionEvents& events_;
  std::string requestUri_;
  RtspTimings timings_;
  unsigned missCount_ = 0;  // keep-alives sent since the last 200 answer to one
  unsigned long cseq_ = 1;
  std::string sessionId_;
  bool seekable_ = true;
  std::array<char, kBufferSize> sendBuffer_{};
  std::array<char, kBufferSize> receiveBuffer_{};
  int scaleIndex_ = kNormalScaleIndex;
  VideoParams video_;
};

}  // namespace streamclient
