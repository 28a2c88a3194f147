#include "Response.h"

namespace recsim {

std::string_view ReasonPhrase(int status) {
  switch (status) {
    case 200: return "OK";
    case 302: return "Moved Temporarily";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 451: return "Parameter Not Understood";
    case 454: return "Session Not Found";
    case 455: return "Method Not Valid In This State";
    case 457: return "Invalid Range";
    case 461: return "Unsupported Transport";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    case 505: return "RTSP Version not supported";
    default: return "Status";
  }
}

Response& Response::Add(std::string name, std::string value) {
  headers_.emplace_back(std::move(name), std::move(value));
  return *this;
}

Response& Response::Body(std::string body) {
  body_ = std::move(body);
  return *this;
}

std::string Response::Text() const {
  std::string text = "RTSP/1.0 " + std::to_string(status_) + " ";
  text += ReasonPhrase(status_);
  text += "\r\nCSeq: " + std::to_string(cseq_) + "\r\n";
  for (const auto& [name, value] : headers_) text += name + ": " + value + "\r\n";
  if (!body_.empty()) text += "Content-Length: " + std::to_string(body_.size()) + "\r\n";
  text += "\r\n";
  text += body_;
  return text;
}

}  // namespace recsim
