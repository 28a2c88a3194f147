// One RTSP request or answer with typed headers, and the builder that writes it back as text.
// Parsing lives in RtspParser.h.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "RtspHeader.h"

namespace streamclient {

struct RtspMessage {
  std::vector<RtspHeader> headers;  // arrival or insertion order; duplicates allowed
  int major = 1;
  int minor = 0;
  int cseq = 0;            // the "CSeq" header after parsing, 0 when absent
  int method = -1;         // method index; kMethodResponse for answers
  std::string body;        // only when "Content-Length" was present
  std::string requestUri;  // requests only
  int status = -1;         // answers only: status index, -1 when the code is not in the table

  const RtspHeader* FindHeader(std::string_view name) const;
  // The first value of the header written back as text; false without header or value.
  bool TextValue(std::string_view name, std::string& text) const;
  // TextValue's leading decimal number.
  bool IntegerValue(std::string_view name, int& value) const;

  // Appends a header with one value holding one parameter named by the text.
  void AddHeader(std::string_view name, std::string_view text);
  void AddHeader(std::string_view name, int value);
  void AddHeader(std::string_view name, unsigned long value);
};

// Write the message into a zero-filled buffer of the given size and return the length, or -1
// when it does not fit (nothing beyond the text is added, no terminator).
int BuildRequest(const RtspMessage& message, char* buffer, size_t size);
int BuildResponse(const RtspMessage& message, char* buffer, size_t size);

}  // namespace streamclient
