// Class identifiers and friendly names of the filters the system ships, with the values the
// platform gives them, so applications that create them by class find them here too.
#pragma once

#include "Guid.h"

DEFINE_GUID(CLSID_VideoRenderer, 0x70E102B0, 0x5556, 0x11CE, 0x97, 0xC0, 0x00, 0xAA, 0x00, 0x55,
            0x59, 0x5A);
DEFINE_GUID(CLSID_AudioRender, 0xE30629D1, 0x27E5, 0x11CE, 0x87, 0x5D, 0x00, 0x60, 0x8C, 0xB7,
            0x80, 0x66);
DEFINE_GUID(CLSID_AviDest, 0xE2510970, 0xF137, 0x11CE, 0x8B, 0x67, 0x00, 0xAA, 0x00, 0xA3, 0xF1,
            0xA6);
DEFINE_GUID(CLSID_FileWriter, 0x8596E5F0, 0x0DA5, 0x11D0, 0xBD, 0x21, 0x00, 0xA0, 0xC9, 0x11, 0xCE,
            0x86);
DEFINE_GUID(CLSID_AVIDec, 0xCF49D4E0, 0x1115, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7,
            0x70);

inline constexpr char16_t kVideoRendererName[] = u"Video Renderer";
inline constexpr char16_t kAudioRendererName[] = u"Audio Renderer";
inline constexpr char16_t kAviMuxName[] = u"AVI Mux";
inline constexpr char16_t kFileWriterName[] = u"File writer";
inline constexpr char16_t kAviDecompressorName[] = u"AVI Decompressor";
