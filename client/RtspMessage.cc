#include "RtspMessage.h"

#include <cstring>
#include <string>

#include "Decimal.h"
#include "RtspTables.h"

namespace streamclient {

namespace {
std::string VersionText(const RtspMessage& message) {
  return "RTSP/" + std::to_string(message.major) + "." + std::to_string(message.minor);
}

int Finish(const RtspMessage& message, std::string text, char* buffer, size_t size) {
  for (const RtspHeader& header : message.headers) {
    text += header.name + ": " + header.Text() + "\r\n";
  }
  text += "\r\n";
  text += message.body;
  if (text.size() > size) return -1;
  std::memcpy(buffer, text.data(), text.size());
  return static_cast<int>(text.size());
}
}  // namespace

const RtspHeader* RtspMessage::FindHeader(std::string_view name) const {
  for (const RtspHeader& header : headers) {
    if (header.name == name) return &header;
  }
  return nullptr;
}

bool RtspMessage::TextValue(std::string_view name, std::string& text) const {
  const RtspHeader* header = FindHeader(name);
  if (!header || header->values.empty()) return false;
  text = ValueText(header->values.front());
  return true;
}

bool RtspMessage::IntegerValue(std::string_view name, int& value) const {
  std::string text;
  if (!TextValue(name, text)) return false;
  value = LeadingInt(text);
  return true;
}

void RtspMessage::AddHeader(std::string_view name, std::string_view text) {
  HeaderValue value;
  value.params.push_back({std::string(text), {}});
  headers.push_back({std::string(name), {std::move(value)}});
}

void RtspMessage::AddHeader(std::string_view name, int value) {
  AddHeader(name, std::to_string(value));
}

void RtspMessage::AddHeader(std::string_view name, unsigned long value) {
  AddHeader(name, std::to_string(value));
}

int BuildRequest(const RtspMessage& message, char* buffer, size_t size) {
  std::string text = std::string(MethodName(message.method)) + " " + message.requestUri + " " +
                     VersionText(message) + "\r\n";
  return Finish(message, std::move(text), buffer, size);
}

int BuildResponse(const RtspMessage& message, char* buffer, size_t size) {
  std::string text = VersionText(message) + " " + std::string(StatusCode(message.status)) + " " +
                     std::string(StatusReason(message.status)) + "\r\n";
  return Finish(message, std::move(text), buffer, size);
}

}  // namespace streamclient
