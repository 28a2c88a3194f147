// The framing shared by the recorder SDK, the legacy stream client and the simulated
// recorder: every message is u32 type, u32 payload length, payload, little-endian; texts are
// u16 length + bytes. The frame types are listed in RecorderNetSdk.h and QrlClient.h.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace devicewire {

// Frame types.
enum : uint32_t {
  kLogin = 1,
  kControl = 2,
  kLogout = 3,
  kLive = 10,
  kByName = 11,
  kByTime = 12,
  kHeader = 20,
  kStream = 21,
  kEnd = 22,
  kLegacyStart = 30,
  kLegacyCapture = 31,
  kOk = 100,
  kError = 101,
};

// No frame of either protocol is larger; a bigger length field is a broken peer.
constexpr uint32_t kMaxPayload = 1u << 20;
constexpr size_t kFrameHeaderSize = 8;
// The bytes of a recorder FileHeader.
constexpr size_t kFileHeaderSize = 40;

struct Frame {
  uint32_t type = 0;
  std::string payload;
};

// Builds a payload field by field.
class PayloadWriter {
 public:
  PayloadWriter& U8(uint8_t value);
  PayloadWriter& U32(uint32_t value);
  PayloadWriter& Text(std::string_view text);  // longer than 65535 bytes: cut
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// Reads a payload field by field; every read fails once the payload is too short.
class PayloadReader {
 public:
  explicit PayloadReader(std::string_view payload) : rest_(payload) {}
  [[nodiscard]] std::optional<uint8_t> U8();
  [[nodiscard]] std::optional<uint32_t> U32();
  [[nodiscard]] std::optional<std::string> Text();

 private:
  std::string_view rest_;
};

// The 8 bytes that open a frame of `payloadSize` bytes.
std::string FrameHeader(uint32_t type, uint32_t payloadSize);

// Sends a whole frame (blocking; false when the peer is gone).
bool SendFrame(int fd, uint32_t type, std::string_view payload);
// Reads one whole frame (blocking, subject to the socket's receive timeout); false at the
// end of the connection, on a timeout or on a length above kMaxPayload.
bool ReadFrame(int fd, Frame& frame);

// Connects to host:port (an IPv4 text or a name), waiting at most `timeout`; -1 on failure.
int ConnectTcp(const char* host, uint16_t port, std::chrono::milliseconds timeout);
// Bounds each later blocking receive on the socket (0: no bound).
void SetReceiveTimeout(int fd, std::chrono::milliseconds timeout);

}  // namespace devicewire
