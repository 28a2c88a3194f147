// Response: an RTSP/1.0 answer as the stream servers write it: status line, "CSeq", the
// other headers in the order they were added, "Content-Length" when there is a body, an
// empty line and the body.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace recsim {

// Status codes the server answers with.
constexpr int kStatusOk = 200;
constexpr int kStatusBadRequest = 400;
constexpr int kStatusForbidden = 403;
constexpr int kStatusNotFound = 404;
constexpr int kStatusSessionNotFound = 454;
constexpr int kStatusMethodNotValidInState = 455;
constexpr int kStatusParameterNotUnderstood = 451;
constexpr int kStatusInvalidRange = 457;
constexpr int kStatusUnsupportedTransport = 461;
constexpr int kStatusInternalError = 500;
constexpr int kStatusNotImplemented = 501;
constexpr int kStatusVersionNotSupported = 505;

// The reason phrase of a status code ("Status" for codes the server has no phrase for).
std::string_view ReasonPhrase(int status);

class Response {
 public:
  Response(int status, long cseq) : status_(status), cseq_(cseq) {}

  Response& Add(std::string name, std::string value);
  Response& Add(std::string name, long value) {
    return Add(std::move(name), std::to_string(value));
  }
  Response& Body(std::string body);

  int Status() const { return status_; }
  long CSeq() const { return cseq_; }
  std::string Text() const;

 private:
  int status_;
  long cseq_;
  std::vector<std::pair<std::string, std::string>> headers_;
  std::string body_;
};

}  // namespace recsim
