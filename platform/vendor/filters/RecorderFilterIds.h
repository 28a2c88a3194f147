// Class identifiers and names of the recorder maker's filters in libRecorderFilters.
#pragma once

#include "Guid.h"

DEFINE_GUID(CLSID_RecorderFileSource, 0x0B8DA9C0, 0xD12E, 0x4766, 0x86, 0xB2, 0x58, 0xA3, 0x05,
            0xF6, 0x41, 0x89);
DEFINE_GUID(CLSID_RecorderVideoDecoder, 0x74CD8B6A, 0x218B, 0x4E75, 0x80, 0xB1, 0xBD, 0xA8, 0xDB,
            0x05, 0x8E, 0xB6);
DEFINE_GUID(CLSID_RecorderAudioDecoder, 0x779115F7, 0x4F3E, 0x4DA7, 0x9F, 0x97, 0x26, 0xF5, 0x8B,
            0xD7, 0x39, 0x87);

inline constexpr char kRecorderFileSourceName[] = "Recorder File Source";
inline constexpr char kRecorderVideoDecoderName[] = "Recorder Video Decoder";
inline constexpr char kRecorderAudioDecoderName[] = "Recorder Audio Decoder";
