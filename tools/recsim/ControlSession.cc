#include "ControlSession.h"

#include <sys/socket.h>

#include <algorithm>
#include <thread>

namespace recsim {
namespace {

constexpr std::chrono::milliseconds kPollStep{100};
constexpr size_t kReceiveChunk = 4096;
// An oversized answer is far beyond the 1024 bytes a client reads an answer into.
constexpr size_t kOversizePadding = 4096;
constexpr int kMinVideoParam = 0;
constexpr int kMaxVideoParam = 255;
constexpr int64_t kUnitsPer64th = recorder::kUnitsPerSecond / 64;  // 156,250: exact
constexpr std::string_view kPublicMethods = "SETUP, TEARDOWN, PLAY, PAUSE, ANNOUNCE, OPTIONS";
constexpr std::string_view kTcpProfile = "RTP/AVP/TCP";
constexpr std::string_view kUdpProfile = "RTP/AVP/UDP";
constexpr std::string_view kClientPortParam = "client_port=";
constexpr std::string_view kNptPrefix = "npt=";
constexpr long kMaxPort = 65535;
constexpr int kStatusMovedTemporarily = 302;
// The path segment a redirect fault puts in front of the path, with its hop count. A leading
// dot keeps it apart from any served file or folder.
constexpr std::string_view kHopSegment = "/.redirect-";

// The answer of a broken server: no status code, and a header line without a colon.
std::string MalformedAnswer(long cseq) {
  return "RTSP/1.0 OK\r\nCSeq: " + std::to_string(cseq) + "\r\nthis line has no colon\r\n\r\n";
}

bool IsLivePath(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash != std::string::npos &&
         path.compare(slash + 1, std::string::npos, kLiveSegment) == 0;
}

// The hop count of a redirected path (0 when it is none) and the path without its hop segment.
std::pair<long, std::string> SplitHop(const std::string& path) {
  if (path.rfind(kHopSegment, 0) != 0) return {0, path};
  const size_t rest = path.find('/', kHopSegment.size());
  const auto hop = LeadingNumber(std::string_view(path).substr(kHopSegment.size()));
  return {hop.value_or(0), rest == std::string::npos ? "/" : path.substr(rest)};
}

// The path a request names, whatever redirect hops lead to it.
std::optional<std::string> ServedPath(const std::string& uri) {
  const auto path = Catalog::PathOf(uri);
  if (!path) return std::nullopt;
  return SplitHop(*path).second;
}

struct TransportRequest {
  bool tcp = false;
  long clientPort = 0;
};

std::optional<TransportRequest> ParseTransport(const std::string& value) {
  TransportRequest transport;
  if (value.rfind(kTcpProfile, 0) == 0) {
    transport.tcp = true;
  } else if (value.rfind(kUdpProfile, 0) != 0) {
    return std::nullopt;
  }
  const size_t port = value.find(kClientPortParam);
  if (port == std::string::npos) return std::nullopt;
  const auto number = LeadingNumber(std::string_view(value).substr(port + kClientPortParam.size()));
  if (!number || *number < 0 || *number > kMaxPort) return std::nullopt;
  transport.clientPort = *number;
  return transport;
}

}  // namespace

ControlSession::ControlSession(UniqueFd socket, const sockaddr_in& peer,
                               const ServerOptions& options, Catalog& catalog,
                               unsigned long sessionId)
    : socket_(std::move(socket)),
      peer_(peer),
      options_(options),
      catalog_(catalog),
      sessionId_(std::to_string(sessionId)) {}

void ControlSession::Shutdown() {
  stop_ = true;
  ::shutdown(socket_.Get(), SHUT_RDWR);
}

void ControlSession::Run() {
  std::string buffer;
  auto lastRequest = std::chrono::steady_clock::now();
  while (!stop_) {
    const bool readable = WaitReadable(socket_.Get(), NextWait());
    SendLateAnswers();
    if (!readable) {
      if (std::chrono::steady_clock::now() - lastRequest > options_.sessionTimeout) break;
      continue;
    }
    char chunk[kReceiveChunk];
    const ssize_t received = ::recv(socket_.Get(), chunk, sizeof chunk, 0);
    if (received <= 0) break;
    buffer.append(chunk, static_cast<size_t>(received));
    lastRequest = std::chrono::steady_clock::now();
    Serve(buffer);
  }
  media_.reset();
  // The client sees the end now; the descriptor itself goes with the session object.
  ::shutdown(socket_.Get(), SHUT_RDWR);
}

// Answers every whole request in the buffer and keeps what is left of an incomplete one.
void ControlSession::Serve(std::string& buffer) {
  while (!stop_) {
    ReadResult result = ReadRequest(buffer);
    switch (result.status) {
      case ReadStatus::NeedMore:
        return;
      case ReadStatus::TooLarge:
        // No request boundary can be found any more: answer once and hang up.
        Answer({}, Response(kStatusBadRequest, 0));
        stop_ = true;
        return;
      case ReadStatus::Malformed:
        Answer(result.request.method,
               Response(kStatusBadRequest, result.request.NumberHeader("CSeq").value_or(0)));
        break;
      case ReadStatus::Complete:
        Handle(result.request);
        break;
    }
    buffer.erase(0, result.consumed);
  }
}

std::chrono::milliseconds ControlSession::NextWait() const {
  if (late_.empty()) return kPollStep;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(late_.begin()->first -
                                                                 std::chrono::steady_clock::now());
  return std::clamp(left, std::chrono::milliseconds(0), kPollStep);
}

void ControlSession::SendLateAnswers() {
  const auto now = std::chrono::steady_clock::now();
  while (!stop_ && !late_.empty() && late_.begin()->first <= now) {
    Send(late_.begin()->second);
    late_.erase(late_.begin());
  }
}

// The next hop of a redirected request, or nothing once it has made `redirects` hops.
std::optional<std::string> ControlSession::RedirectTarget(const std::string& uri,
                                                          long redirects) const {
  const auto path = Catalog::PathOf(uri);
  if (!path || uri.size() < path->size()) return std::nullopt;
  const auto [hop, rest] = SplitHop(*path);
  if (hop >= redirects) return std::nullopt;
  return uri.substr(0, uri.size() - path->size()) + std::string(kHopSegment) +
         std::to_string(hop + 1) + rest;
}

void ControlSession::Handle(const RtspRequest& request) {
  const auto cseq = request.NumberHeader("CSeq");
  if (!cseq) return Answer(request.method, Response(kStatusBadRequest, 0));
  if (request.major != 1 || request.minor != 0)
    return Answer(request.method, Response(kStatusVersionNotSupported, *cseq));
  const MethodFault* fault = options_.faults.For(request.method);
  if (fault && fault->redirects > 0 && request.method == "SETUP") {
    if (const auto target = RedirectTarget(request.uri, fault->redirects))
      return Answer(request.method,
                    Response(kStatusMovedTemporarily, *cseq).Add("Location", *target));
  }
  if (fault && fault->answerLimit && answered_[request.method] >= *fault->answerLimit) return;
  if (fault && fault->delay.count() > 0) {
    const auto until = std::chrono::steady_clock::now() + fault->delay;
    while (!stop_ && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::min(kPollStep, fault->delay));
  }
  if (fault && fault->status) return Answer(request.method, Response(*fault->status, *cseq));
  Answer(request.method, Process(request, *cseq));
}

void ControlSession::Answer(const std::string& method, Response response) {
  ++answered_[method];
  const MethodFault* fault = options_.faults.For(method);
  if (fault && fault->oversized) response.Add("X-Padding", std::string(kOversizePadding, 'x'));
  std::string text = fault && fault->malformed ? MalformedAnswer(response.CSeq()) : response.Text();
  // What a client gets when the answer to its previous request comes late.
  if (fault && fault->stale)
    text = Response(kStatusMethodNotValidInState, response.CSeq() - 1).Text() + text;
  if (fault && fault->late.count() > 0) {
    late_.emplace(std::chrono::steady_clock::now() + fault->late, std::move(text));
    return;
  }
  Send(text);
}

void ControlSession::Send(const std::string& text) {
  if (!SendAll(socket_.Get(), text, stop_)) stop_ = true;
}

Response ControlSession::Process(const RtspRequest& request, long cseq) {
  const std::string& method = request.method;
  if (method == "SETUP") return Setup(request, cseq);
  if (method == "PLAY") return Play(request, cseq);
  if (method == "PAUSE") return Pause(cseq);
  if (method == "TEARDOWN") return Teardown(cseq);
  if (method == "OPTIONS") return Options(request, cseq);
  if (method == "ANNOUNCE") return Response(kStatusOk, cseq);  // the dialect's keep-alive
  return Response(kStatusNotImplemented, cseq);
}

std::string ControlSession::SessionHeader() const {
  return sessionId_ + ";timeout=" + std::to_string(options_.sessionTimeout.count());
}

Response ControlSession::Setup(const RtspRequest& request, long cseq) {
  if (media_) return Response(kStatusMethodNotValidInState, cseq);
  const auto path = ServedPath(request.uri);
  if (!path) return Response(kStatusBadRequest, cseq);
  auto channel = catalog_.Find(*path);
  if (!channel) return Response(kStatusNotFound, cseq);
  const auto transport = ParseTransport(request.Header("Transport").value_or(""));
  if (!transport || (!transport->tcp && transport->clientPort == 0))
    return Response(kStatusUnsupportedTransport, cseq);

  MediaSettings settings;
  settings.tcp = transport->tcp;
  settings.client = peer_;
  settings.client.sin_port = htons(static_cast<uint16_t>(transport->clientPort));
  settings.fast = options_.fast;
  settings.closeMediaAfter = options_.faults.closeMediaAfter;
  settings.closeControlAfter = options_.faults.closeControlAfter;
  settings.closeControl = [this] { Shutdown(); };
  const auto mode = channel->live ? StreamCursor::Mode::Loop : StreamCursor::Mode::Once;
  media_ = MediaSender::Create(channel->file, mode, std::move(settings));
  if (!media_) return Response(kStatusInternalError, cseq);

  const unsigned serverPort = media_->ServerPort();
  Response response(kStatusOk, cseq);
  response.Add("Session", SessionHeader());
  response.Add("Transport", std::string(transport->tcp ? kTcpProfile : kUdpProfile) +
                                ";unicast;client_port=" + std::to_string(transport->clientPort) +
                                "-" + std::to_string(transport->clientPort + 1) +
                                ";server_port=" + std::to_string(serverPort) + "-" +
                                std::to_string(serverPort + 1));
  if (!channel->live) {
    response.Add("timestamp", static_cast<long>(channel->file->Duration() / kUnitsPer64th));
    response.Add("filesize", static_cast<long>(channel->file->FileSize()));
  }
  const recorder::ByteSpan header = channel->file->Header();
  response.Body(std::string(reinterpret_cast<const char*>(header.data()), header.size()));
  channel_ = std::move(channel);
  return response;
}

Response ControlSession::Play(const RtspRequest& request, long cseq) {
  if (!media_) return Response(kStatusMethodNotValidInState, cseq);
  Response response(kStatusOk, cseq);
  response.Add("Session", SessionHeader());
  if (const auto scale = request.NumberHeader("Scale")) {
    // Scale requests carry a placeholder range; only the rate changes. A live channel has
    // one rate.
    media_->SetScale(channel_->live ? 0 : static_cast<int>(*scale));
    media_->Play(std::nullopt);
    return response.Add("Scale", *scale);
  }
  const auto range = request.Header("Range");
  if (!range || channel_->live) {
    media_->Play(std::nullopt);
    return response;
  }
  // The dialect counts the npt start in 1/64 s, the unit of the SETUP answer's "timestamp".
  const size_t npt = range->find(kNptPrefix);
  const auto start = npt == std::string::npos
                         ? std::nullopt
                         : LeadingNumber(std::string_view(*range).substr(npt + kNptPrefix.size()));
  if (!start || *start < 0 || *start * kUnitsPer64th > channel_->file->Duration())
    return Response(kStatusInvalidRange, cseq);
  media_->Play(*start * kUnitsPer64th);
  return response.Add("Range", *range);
}

Response ControlSession::Pause(long cseq) {
  if (!media_) return Response(kStatusMethodNotValidInState, cseq);
  media_->Pause();
  return Response(kStatusOk, cseq).Add("Session", SessionHeader());
}

Response ControlSession::Teardown(long cseq) {
  if (!media_) return Response(kStatusSessionNotFound, cseq);
  media_.reset();
  channel_.reset();
  return Response(kStatusOk, cseq);
}

Response ControlSession::Options(const RtspRequest& request, long cseq) {
  const auto path = ServedPath(request.uri);
  if (!path) return Response(kStatusBadRequest, cseq);
  const bool live = IsLivePath(*path);
  if (request.Header("command")) return Ptz(request, *path, cseq);
  if (request.Header("bri") || request.Header("con") || request.Header("sat") ||
      request.Header("hue"))
    return SetVideoParams(request, *path, cseq);
  Response response(kStatusOk, cseq);
  response.Add("Public", std::string(kPublicMethods));
  if (live) {
    const VideoParams params = catalog_.GetVideoParams(*path);
    response.Add("bri", params.brightness).Add("con", params.contrast);
    response.Add("sat", params.saturation).Add("hue", params.hue);
  }
  return response;
}

Response ControlSession::SetVideoParams(const RtspRequest& request, const std::string& path,
                                        long cseq) {
  if (!IsLivePath(path)) return Response(kStatusMethodNotValidInState, cseq);
  int values[4];
  const char* names[4] = {"bri", "con", "sat", "hue"};
  for (int i = 0; i < 4; ++i) {
    const auto value = request.NumberHeader(names[i]);
    if (!value || *value < kMinVideoParam || *value > kMaxVideoParam)
      return Response(kStatusParameterNotUnderstood, cseq);
    values[i] = static_cast<int>(*value);
  }
  catalog_.SetVideoParams(path, {values[0], values[1], values[2], values[3]});
  return Response(kStatusOk, cseq);
}

Response ControlSession::Ptz(const RtspRequest& request, const std::string& path, long cseq) {
  if (!IsLivePath(path)) return Response(kStatusMethodNotValidInState, cseq);
  PtzCommand command;
  command.channel = path;
  const char* names[5] = {"command", "param1", "param2", "param3", "param4"};
  unsigned long values[5];
  for (int i = 0; i < 5; ++i) {
    const auto value = request.NumberHeader(names[i]);
    if (!value || *value < 0) return Response(kStatusParameterNotUnderstood, cseq);
    values[i] = static_cast<unsigned long>(*value);
  }
  command.command = values[0];
  std::copy(values + 1, values + 5, command.params.begin());
  catalog_.RecordPtz(std::move(command));
  return Response(kStatusOk, cseq);
}

}  // namespace recsim
