// Fuzz entry for the RTSP parser: any bytes must parse or be refused without reading outside
// them, and whatever parses must write back within the send buffer's bounds.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "RtspParser.h"
#include "RtspRange.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace streamclient;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  size_t used = 0;
  if (auto message = ParseRtspMessage(text, used)) {
    if (used > size) __builtin_trap();
    std::array<char, 1024> buffer{};
    BuildRequest(*message, buffer.data(), buffer.size());
    BuildResponse(*message, buffer.data(), buffer.size());
    std::string value;
    message->TextValue("Session", value);
  }
  ParseRange(text);
  return 0;
}
