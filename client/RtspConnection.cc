#include "RtspConnection.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>

#include "DebugTrace.h"
#include "Decimal.h"
#include "RtspParser.h"
#include "RtspTables.h"
#include "VidoraPlayer.h"

namespace streamclient {

namespace {
// The servers' request texts. PAUSE, resume and TEARDOWN carry the session id on their
// "User-agent" line and have no "Session" line; the servers expect exactly this.
constexpr const char* kSetupUdp =
    "SETUP %s RTSP/1.0\r\nCSeq: %lu\r\nTransport: RTP/AVP/UDP;unicast;client_port=%u-%u\r\n"
    "User-agent: %s\r\n\r\n";
constexpr const char* kSetupTcp =
    "SETUP %s RTSP/1.0\r\nCSeq: %lu\r\nTransport: RTP/AVP/TCP;unicast;client_port=%u-%u\r\n"
    "User-agent: %s\r\n\r\n";
constexpr const char* kPlayRange =
    "PLAY %s RTSP/1.0\r\nCSeq: %lu\r\nSession:%s\r\nRange: npt=%lu.0-\r\nUser-agent: %s\r\n\r\n";
constexpr const char* kPlayScale =
    "PLAY %s RTSP/1.0\r\nCSeq: %lu\r\nSession:%s\r\nScale:%d\r\nRange: npt=%lu.0-\r\n"
    "User-agent: %s\r\n\r\n";
constexpr const char* kKeepAlive =
    "ANNOUNCE %s RTSP/1.0\r\nCSeq: %lu\r\nAccept: application/sdp\r\nUser-agent: %s\r\n\r\n";
constexpr const char* kPause = "PAUSE %s RTSP/1.0\r\nCSeq: %lu\r\nUser-agent: %s\r\n\r\n";
constexpr const char* kResume = "PLAY %s RTSP/1.0\r\nCSeq: %lu\r\nUser-agent: %s\r\n\r\n";
constexpr const char* kTeardown = "TEARDOWN %s RTSP/1.0\r\nCSeq: %lu\r\nUser-agent: %s\r\n\r\n";

constexpr int kMaxPort = 65535;
constexpr std::string_view kAnswerStart = "RTSP/";

// Drops what cannot begin an answer from the front of the buffer (the rest of an answer too
// long for it, or bytes no server should send), so that one bad answer does not block every
// later one. Answers begin with "RTSP/" at the start of a line. Returns the new fill.
size_t SkipToAnswerStart(char* buffer, size_t fill) {
  const std::string_view data(buffer, fill);
  const size_t first = data.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return fill;
  const std::string_view rest = data.substr(first);
  if (rest.substr(0, kAnswerStart.size()) == kAnswerStart.substr(0, rest.size())) return fill;
  size_t keep = data.find(std::string("\n").append(kAnswerStart), first);
  if (keep == std::string_view::npos) {
    // The last line may be the beginning of an answer still arriving.
    const size_t lastLine = data.rfind('\n');
    const std::string_view tail =
        lastLine == std::string_view::npos ? data : data.substr(lastLine + 1);
    const bool answerBegins = lastLine != std::string_view::npos &&
                              tail.size() < kAnswerStart.size() &&
                              kAnswerStart.substr(0, tail.size()) == tail;
    keep = answerBegins ? lastLine : fill;
  }
  std::memmove(buffer, buffer + keep, fill - keep);
  return fill - keep;
}
}  // namespace

RtspConnection::RtspConnection(UniqueFd socket, RtspConnectionEvents& events,
                               std::string requestUri, const RtspTimings& timings)
    : socket_(std::move(socket)),
      events_(events),
      requestUri_(std::move(requestUri)),
      timings_(timings) {}

int RtspConnection::Setup(MediaTransport transport, uint16_t clientPort) {
  const unsigned first = clientPort;
  return Request(RequestKind::kSetup, transport == MediaTransport::kTcp ? kSetupTcp : kSetupUdp,
                 requestUri_.c_str(), cseq_, first, first + 1, kUserAgent);
}

int RtspConnection::PlayFrom(RequestKind kind, uint32_t position) {
  return Request(kind, kPlayRange, requestUri_.c_str(), cseq_, sessionId_.c_str(),
                 static_cast<unsigned long>(position), kUserAgent);
}

int RtspConnection::Play() { return PlayFrom(RequestKind::kPlay, 0); }

int RtspConnection::Seek(uint32_t position) { return PlayFrom(RequestKind::kSeek, position); }

int RtspConnection::Pause() {
  return Request(RequestKind::kPause, kPause, requestUri_.c_str(), cseq_, sessionId_.c_str());
}

int RtspConnection::Resume() {
  return Request(RequestKind::kPlay, kResume, requestUri_.c_str(), cseq_, sessionId_.c_str());
}

int RtspConnection::Scale(int scale) {
  return Request(RequestKind::kScale, kPlayScale, requestUri_.c_str(), cseq_, sessionId_.c_str(),
                 scale, 0ul, kUserAgent);
}

int RtspConnection::Teardown() {
  return Request(RequestKind::kTeardown, kTeardown, requestUri_.c_str(), cseq_,
                 sessionId_.c_str());
}

int RtspConnection::SendKeepAlive() {
  return Request(RequestKind::kKeepAlive, kKeepAlive, requestUri_.c_str(), cseq_, kUserAgent);
}

RtspMessage RtspConnection::OptionsRequest() const {
  RtspMessage message;
  message.method = kMethodOptions;
  message.requestUri = requestUri_;
  message.AddHeader("CSeq", static_cast<int>(cseq_));
  return message;
}

int RtspConnection::GetVideoParams(VideoParams& params) {
  const int result = BuiltRequest(RequestKind::kGetVideoParams, OptionsRequest());
  if (result == 0) params = video_;
  return result;
}

int RtspConnection::SetVideoParams(const VideoParams& params) {
  RtspMessage message = OptionsRequest();
  message.AddHeader("bri", params.brightness);
  message.AddHeader("con", params.contrast);
  message.AddHeader("sat", params.saturation);
  message.AddHeader("hue", params.hue);
  return BuiltRequest(RequestKind::kSetVideoParams, message);
}

int RtspConnection::Ptz(const PtzCommand& command) {
  RtspMessage message = OptionsRequest();
  message.AddHeader("command", static_cast<unsigned long>(command.command));
  const char* names[] = {"param1", "param2", "param3", "param4"};
  for (int i = 0; i < 4; ++i) message.AddHeader(names[i], static_cast<unsigned long>(command.params[i]));
  return BuiltRequest(RequestKind::kPtz, message);
}

int RtspConnection::Request(RequestKind kind, const char* format, ...) {
  sendBuffer_.fill(0);
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(sendBuffer_.data(), sendBuffer_.size(), format, args);
  va_end(args);
  // A request that does not fit the send buffer is not sent at all rather than cut.
  if (length < 0 || static_cast<size_t>(length) >= sendBuffer_.size()) return -1;
  return Exchange(kind);
}

int RtspConnection::BuiltRequest(RequestKind kind, const RtspMessage& message) {
  sendBuffer_.fill(0);
  // One byte stays zero so the request is a terminated text.
  if (BuildRequest(message, sendBuffer_.data(), sendBuffer_.size() - 1) < 0) return -1;
  return Exchange(kind);
}

void RtspConnection::CountKeepAlive() {
  if (++missCount_ <= kMaxKeepAliveMisses) return;
  DebugTrace("zxq--------try to disconnect!\n");
  events_.OnKeepAliveLost();
  missCount_ = 0;
}

int RtspConnection::Exchange(RequestKind kind) {
  const unsigned long cseq = cseq_++;
  if (kind == RequestKind::kKeepAlive) CountKeepAlive();
  if (!Send()) return -1;
  if (kind == RequestKind::kKeepAlive) {
    // A newer keep-alive supersedes an older unanswered one, whose answer is then stale.
    outstandingKeepAlive_ = cseq;
    return 0;
  }
  try {
    return ReceiveAnswer(kind, cseq);
  } catch (const std::exception&) {
    DebugTrace("zxq---------RecvRtspResponse exception!\n");
    return -1;
  }
}

bool RtspConnection::Send() {
  const size_t length = std::strlen(sendBuffer_.data());
  return SendAll(socket_.Get(), sendBuffer_.data(), length, timings_.sendWaitMs);
}

int RtspConnection::Fail(RequestKind kind) {
  if (kind == RequestKind::kSetup) events_.OnOpenFailed();
  return -1;
}

int RtspConnection::ReceiveAnswer(RequestKind kind, unsigned long cseq) {
  // One limit for the whole exchange: stale answers arriving meanwhile do not extend it.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timings_.receiveWaitMs);
  for (bool read = false;; read = true) {
    bool completed = false;
    if (const auto result = TakeAnswers(kind, cseq, completed)) return *result;
    if (read && !completed) DebugTrace("zxq--------get error packet!\n");
    if (!ReceiveMore(deadline)) return Fail(kind);
  }
}

bool RtspConnection::ReceiveMore(std::chrono::steady_clock::time_point deadline) {
  if (fill_ == kBufferSize) {
    // A whole buffer that holds no answer: nothing later can complete it.
    fill_ = 0;
    DebugTrace("zxq--------RecvRtspResponse nothing has been received 3!\n");
    return false;
  }
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  const WaitResult wait =
      WaitReadable(socket_.Get(), static_cast<int>(std::max<int64_t>(left.count(), 0)));
  if (wait == WaitResult::kTimedOut) {
    DebugTrace("zxq--------RecvRtspResponse nothing has been received 1!\n");
    return false;
  }
  if (wait == WaitResult::kNotMarked) {
    DebugTrace("zxq--------RecvRtspResponse nothing has been received 2!\n");
    return false;
  }
  const ssize_t n = ::recv(socket_.Get(), receiveBuffer_.data() + fill_, kBufferSize - fill_, 0);
  if (n <= 0) {
    DebugTrace("zxq--------RecvRtspResponse nothing has been received 3!\n");
    return false;
  }
  fill_ += static_cast<size_t>(n);
  return true;
}

void RtspConnection::ReadAvailable() {
  if (fill_ == kBufferSize) fill_ = 0;  // a whole buffer without an answer is garbage
  const ssize_t n =
      ::recv(socket_.Get(), receiveBuffer_.data() + fill_, kBufferSize - fill_, MSG_DONTWAIT);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (n <= 0) {
    // The server is gone: the outstanding keep-alive will not be answered, and waiting for
    // the socket again would only wake at once, again and again.
    outstandingKeepAlive_.reset();
    DebugTrace("zxq--------RecvRtspResponse nothing has been received 3!\n");
    return;
  }
  fill_ += static_cast<size_t>(n);
  bool tookAny = false;
  TakeAnswers(RequestKind::kKeepAlive, std::nullopt, tookAny);
}

void RtspConnection::KeepAliveUnanswered() {
  if (!outstandingKeepAlive_) return;
  outstandingKeepAlive_.reset();
  DebugTrace("zxq--------RecvRtspResponse nothing has been received 1!\n");
}

std::optional<int> RtspConnection::TakeAnswers(RequestKind kind, std::optional<unsigned long> cseq,
                                               bool& tookAny) {
  std::optional<int> result;
  // Every whole answer is taken, also after the awaited one: a keep-alive answer behind it
  // would otherwise wait here unseen by the keep-alive thread, which watches the socket.
  while (auto answer = NextAnswer()) {
    tookAny = true;
    const bool numbered = answer->FindHeader("CSeq") != nullptr;
    const auto number = static_cast<unsigned long>(answer->cseq);
    if (outstandingKeepAlive_ && (!numbered || number == *outstandingKeepAlive_)) {
      outstandingKeepAlive_.reset();
      HandleKeepAliveAnswer(*answer);
    } else if (cseq && !result && (!numbered || number == *cseq)) {
      result = HandleAnswer(kind, *answer);
    } else {
      ++staleAnswers_;
      DebugTrace("zxq--------dropped a stale answer!\n");
    }
  }
  return result;
}

std::optional<RtspMessage> RtspConnection::NextAnswer() {
  fill_ = SkipToAnswerStart(receiveBuffer_.data(), fill_);
  size_t used = 0;
  auto answer = ParseRtspMessage(std::string_view(receiveBuffer_.data(), fill_), used);
  if (!answer) return std::nullopt;
  std::memmove(receiveBuffer_.data(), receiveBuffer_.data() + used, fill_ - used);
  fill_ -= used;
  return answer;
}

void RtspConnection::HandleKeepAliveAnswer(const RtspMessage& answer) {
  if (answer.status >= kFirstErrorStatus) {
    DebugTrace("zxq--------RecvRtspResponse receive error report!\n");
  } else if (answer.status == kStatusOk) {
    missCount_ = 0;
  }
}

int RtspConnection::HandleAnswer(RequestKind kind, const RtspMessage& answer) {
  if (kind == RequestKind::kSetup) return HandleSetupAnswer(answer);
  if (answer.status >= kFirstErrorStatus) {
    DebugTrace("zxq--------RecvRtspResponse receive error report!\n");
    return Fail(kind);
  }
  if (answer.status == kStatusOk) return HandleOk(kind, answer);
  return 0;
}

int RtspConnection::HandleSetupAnswer(const RtspMessage& answer) {
  redirect_.clear();
  if (answer.status == kStatusOk) return HandleSetupOk(answer);
  if (answer.status >= kFirstErrorStatus) {
    DebugTrace("zxq--------RecvRtspResponse receive error report!\n");
    return Fail(RequestKind::kSetup);
  }
  // Only a 200 opens the media; an open that reported success without it would leave the
  // host waiting for a stream that never comes. A redirect is for the session to follow.
  if (answer.status >= kStatusMovedPermanently && answer.status <= kStatusSeeOther &&
      answer.TextValue("Location", redirect_) && !redirect_.empty()) {
    return 0;
  }
  DebugTrace("zxq--------SETUP answered without a stream!\n");
  return Fail(RequestKind::kSetup);
}

int RtspConnection::HandleOk(RequestKind kind, const RtspMessage& answer) {
  VidoraPlayer* player = events_.Player();
  switch (kind) {
    case RequestKind::kSetup:
      return HandleSetupOk(answer);
    case RequestKind::kPlay:
    case RequestKind::kSeek:
      if (player) player->Play();
      return 0;
    case RequestKind::kPause:
      if (player) player->Pause();
      return 0;
    case RequestKind::kKeepAlive:
      missCount_ = 0;
      return 0;
    case RequestKind::kScale:
      HandleScaleOk(answer);
      return 0;
    case RequestKind::kGetVideoParams:
      return HandleVideoParamsOk(answer);
    case RequestKind::kPtz:
      DebugTrace("zxq--------get command control back!");
      return 0;
    case RequestKind::kTeardown:
    case RequestKind::kSetVideoParams:
      return 0;
  }
  return 0;
}

int RtspConnection::HandleSetupOk(const RtspMessage& answer) {
  if (sessionId_.empty()) answer.TextValue("Session", sessionId_);
  SetupAnswer setup;
  if (const RtspHeader* transport = answer.FindHeader("Transport");
      transport && !transport->values.empty()) {
    if (const auto* value = std::get_if<HeaderValue>(&transport->values.front())) {
      if (const HeaderParam* port = value->Find("server_port")) {
        setup.serverPort =
            static_cast<uint16_t>(std::clamp<int64_t>(LeadingNumber(port->value), 0, kMaxPort));
      }
    }
  }
  // The file size is only reported; nothing in the library uses it.
  int fileSize = 0;
  answer.IntegerValue("filesize", fileSize);
  DebugTraceF("zxqtest--------filesize is %d\n", fileSize);
  int timestamp = 0;
  seekable_ = answer.IntegerValue("timestamp", timestamp);
  setup.totalTime = seekable_ ? timestamp : -1;
  setup.header = answer.body;
  // The host was already told when opening the media stream failed; the open is a failure.
  return events_.OnSetupAnswered(setup) ? 0 : -1;
}

void RtspConnection::HandleScaleOk(const RtspMessage& answer) {
  int scale = 0;
  if (!seekable_ || !answer.IntegerValue("Scale", scale)) return;
  VidoraPlayer* player = events_.Player();
  // One step per answer, and never past either end of the table.
  const int current = kScaleTable[scaleIndex_];
  if (current > scale && scaleIndex_ > 0) {
    if (player) player->SpeedStep(-1);
    --scaleIndex_;
  } else if (current < scale && scaleIndex_ + 1 < static_cast<int>(kScaleTable.size())) {
    if (player) player->SpeedStep(1);
    ++scaleIndex_;
  }
}

int RtspConnection::HandleVideoParamsOk(const RtspMessage& answer) {
  VideoParams params;
  if (!answer.IntegerValue("bri", params.brightness) ||
      !answer.IntegerValue("con", params.contrast) ||
      !answer.IntegerValue("sat", params.saturation) || !answer.IntegerValue("hue", params.hue)) {
    return -1;
  }
  video_ = params;
  return 0;
}

}  // namespace streamclient
