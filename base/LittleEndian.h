// Bounds-checked little-endian readers and writers, for every parser of bytes from files and
// sockets: the recorder stream format, the filter mapper's records, ASF headers.
//
// Every reader takes the buffer as a span and an offset and returns nothing when the field
// does not lie wholly inside the span, so a length field from a file or a socket can never
// move a read outside its buffer. The results must be used ([[nodiscard]]).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace base {

using ByteSpan = std::span<const uint8_t>;

[[nodiscard]] constexpr bool FitsIn(ByteSpan bytes, size_t offset, size_t size) {
  return offset <= bytes.size() && size <= bytes.size() - offset;
}

[[nodiscard]] constexpr std::optional<uint16_t> rl16(ByteSpan bytes, size_t offset) {
  if (!FitsIn(bytes, offset, 2)) return std::nullopt;
  return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

[[nodiscard]] constexpr std::optional<uint32_t> rl32(ByteSpan bytes, size_t offset) {
  if (!FitsIn(bytes, offset, 4)) return std::nullopt;
  return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<uint32_t>(bytes[offset + 2]) << 16 |
         static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

[[nodiscard]] constexpr std::optional<uint64_t> rl64(ByteSpan bytes, size_t offset) {
  if (!FitsIn(bytes, offset, 8)) return std::nullopt;
  return static_cast<uint64_t>(*rl32(bytes, offset + 4)) << 32 | *rl32(bytes, offset);
}

// Writers for buffers the caller has sized; used to build headers, never to parse.
constexpr void wl16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

constexpr void wl32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

constexpr void wl64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace base
