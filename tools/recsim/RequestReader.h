// RequestReader: RTSP/1.0 requests out of the bytes a control connection has received. It
// reads whatever the buffer holds, tells "need more bytes" from "malformed", never reads
// past the buffer and never trusts a Content-Length beyond its limit.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace recsim {

struct RtspRequest {
  std::string method;
  std::string uri;
  int major = 0;
  int minor = 0;
  std::vector<std::pair<std::string, std::string>> headers;  // in arrival order
  std::string body;

  // The first header of this name (names compare without regard to case).
  std::optional<std::string> Header(std::string_view name) const;
  // Its leading decimal number; nothing when absent or not a number.
  std::optional<long> NumberHeader(std::string_view name) const;
};

enum class ReadStatus {
  NeedMore,   // no whole request yet
  Complete,   // `request` holds it; `consumed` bytes belong to it
  Malformed,  // `consumed` bytes (through the header block's end) are unusable
  TooLarge,   // no header end within the limit, or a body above it: the stream is lost
};

struct ReadResult {
  ReadStatus status = ReadStatus::NeedMore;
  size_t consumed = 0;
  RtspRequest request;  // on Malformed, whatever could be read (CSeq for the answer)
  std::string error;    // why it is malformed
};

struct ReaderLimits {
  size_t maxHeaderBytes = 8192;
  size_t maxBodyBytes = 4096;
};

[[nodiscard]] ReadResult ReadRequest(std::string_view buffer, const ReaderLimits& limits = {});

// Splits "a-b" into its leading number (the "10000" of "client_port=10000-10001").
[[nodiscard]] std::optional<long> LeadingNumber(std::string_view text);

}  // namespace recsim
