// Turns received bytes into an RtspMessage. The parser is tolerant of what servers send
// (LF, CR LF or LF CR line ends, folded lines, unknown methods and codes) and strict about
// lengths: it never reads outside the given bytes and refuses bodies it cannot hold.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "RtspMessage.h"

namespace streamclient {

constexpr size_t kMaxContentLength = 1 << 20;  // a larger "Content-Length" is refused

// Parses the message at the start of data. On success used is the number of bytes the
// message took; otherwise used is 0 and nothing is returned: there was no line, a request
// line had no version, the header block or the body is not complete yet, or the
// "Content-Length" was negative or larger than kMaxContentLength.
std::optional<RtspMessage> ParseRtspMessage(std::string_view data, size_t& used);

}  // namespace streamclient
