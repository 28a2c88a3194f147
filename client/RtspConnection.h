// The RTSP control connection of one session: fixed request texts, CSeq numbering, one
// request-answer exchange at a time, and the reactions to 200 answers. Notifications and
// player actions go back to the session through RtspConnectionEvents.
//
// Answers are matched to requests by CSeq. A keep-alive does not wait for its answer: it stays
// outstanding while other requests are exchanged, and whichever read meets its answer handles
// it. Any other answer (a late one to a request that gave up, a repeat) is stale and dropped.
// Answers without a CSeq are taken in sending order.
//
// Not thread-safe: the session calls every operation under its session lock.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
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

// Called under the session lock: host notifications they decide on are queued, not made.
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

  // Each returns the exchange result: 0 when an answer was handled, -1 on failure. A SETUP
  // answered with a redirect returns 0 with RedirectLocation() set; any other answer but 200
  // fails it, since the open would have no media.
  int Setup(MediaTransport transport, uint16_t clientPort);
  int Play();
  int Seek(uint32_t position);
  int Pause();
  int Resume();
  int Scale(int scale);
  int Teardown();
  int GetVideoParams(VideoParams& params);
  int SetVideoParams(const VideoParams& params);
  int Ptz(const PtzCommand& command);

  // Sends a keep-alive and returns without its answer (0 sent, -1 not). Every keep-alive
  // counts as missed until a 200 answers it; above kMaxKeepAliveMisses the host is told.
  int SendKeepAlive();
  bool KeepAliveOutstanding() const { return outstandingKeepAlive_.has_value(); }
  // Reads what has arrived without waiting and handles every whole answer in it.
  void ReadAvailable();
  // The outstanding keep-alive's answer did not come in time; a later one is stale.
  void KeepAliveUnanswered();

  int Socket() const { return socket_.Get(); }
  const std::string& SessionId() const { return sessionId_; }
  int ScaleValue() const { return kScaleTable[scaleIndex_]; }
  unsigned KeepAliveMisses() const { return missCount_; }
  // Answers dropped because no request was waiting for their CSeq.
  unsigned long StaleAnswers() const { return staleAnswers_; }
  // The "Location" of a SETUP answered with a redirect; empty otherwise.
  const std::string& RedirectLocation() const { return redirect_; }

 private:
  static constexpr size_t kBufferSize = 1024;
  static constexpr std::array<int, 7> kScaleTable = {-8, -4, -2, 0, 2, 4, 8};
  static constexpr int kNormalScaleIndex = 3;

  int PlayFrom(RequestKind kind, uint32_t position);
  __attribute__((format(printf, 3, 4))) int Request(RequestKind kind, const char* format, ...);
  int BuiltRequest(RequestKind kind, const RtspMessage& message);
  int Exchange(RequestKind kind);
  bool Send();
  void CountKeepAlive();
  int ReceiveAnswer(RequestKind kind, unsigned long cseq);
  bool ReceiveMore(std::chrono::steady_clock::time_point deadline);
  // Handles every whole answer in the receive buffer; the result of the answer to `cseq`, if
  // it was among them. tookAny tells whether any answer was whole.
  std::optional<int> TakeAnswers(RequestKind kind, std::optional<unsigned long> cseq,
                                 bool& tookAny);
  std::optional<RtspMessage> NextAnswer();
  int Fail(RequestKind kind);
  void HandleKeepAliveAnswer(const RtspMessage& answer);
  int HandleAnswer(RequestKind kind, const RtspMessage& answer);
  int HandleSetupAnswer(const RtspMessage& answer);
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
  size_t fill_ = 0;  // received bytes not yet taken as answers; kept between exchanges
  std::optional<unsigned long> outstandingKeepAlive_;  // CSeq of the unanswered keep-alive
  unsigned long staleAnswers_ = 0;
  std::string redirect_;
  int scaleIndex_ = kNormalScaleIndex;
  VideoParams video_;
};

}  // namespace streamclient
