// What a multiplexer copying compressed video needs to know of each frame without decoding it:
// whether a decoder can start at it, and the decoder configuration (H.264 sequence and picture
// parameter sets, MPEG-4 part 2 VOS/VOL headers) that a container's sample description carries.
// Frames are the recorder's: H.264 in Annex B byte-stream form, MPEG-4 part 2 as elementary
// stream bytes with start codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

enum class ElementaryCodec { H264, Mpeg4Part2 };

// True when the frame holds an IDR slice (H.264) or an intra-coded VOP (MPEG-4 part 2).
bool IsKeyFrame(ElementaryCodec codec, std::span<const uint8_t> frame);

// The decoder configuration a key frame carries, in Annex B form for H.264 (each sequence and
// picture parameter set after a four-byte start code) and as the header bytes before the first
// VOP for MPEG-4 part 2; empty when the frame carries none.
std::vector<uint8_t> DecoderConfiguration(ElementaryCodec codec, std::span<const uint8_t> frame);

// One unit between start codes: `offset` of its first byte after the start code, `size` up to
// the next start code (or the end), trailing zero bytes of the next start code excluded.
struct StartCodeUnit {
  size_t startCodeAt = 0;
  size_t offset = 0;
  size_t size = 0;
};

// The units of a start-code delimited stream (00 00 01 or 00 00 00 01), in order.
std::vector<StartCodeUnit> SplitAtStartCodes(std::span<const uint8_t> bytes);
