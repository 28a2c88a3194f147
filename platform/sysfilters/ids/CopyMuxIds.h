// Class identifiers and friendly names of the copying multiplexers, apart from their code so
// that an application can name them without linking the filters.
#pragma once

#include "Guid.h"

DEFINE_GUID(CLSID_Mp4Mux, 0x5D7A2E61, 0x3C84, 0x4F0B, 0x9A, 0x1E, 0x27, 0xC4, 0x6B, 0x83, 0xD0,
            0x19);
DEFINE_GUID(CLSID_MatroskaMux, 0x8E31B7C4, 0x52A9, 0x4D6E, 0xB0, 0x7F, 0x14, 0xE2, 0x9C, 0x56,
            0xA3, 0x7B);

inline constexpr char16_t kMp4MuxName[] = u"MP4 Mux";
inline constexpr char16_t kMatroskaMuxName[] = u"Matroska Mux";
// The inputs by name: the compressed video, and the sound.
inline constexpr char16_t kCopyMuxVideoPin[] = u"Video In";
inline constexpr char16_t kCopyMuxAudioPin[] = u"Audio In";
// What the MP4 multiplexer makes of the sound (Matroska too, unless it keeps G.711): AAC at
// 16 kHz, one channel, 48 kbit/s. Applications show it; the encoder is built to it.
inline constexpr int kCopyMuxAacRate = 16000;
inline constexpr int kCopyMuxAacBitRate = 48000;
