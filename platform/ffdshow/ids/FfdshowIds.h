// Class identifiers and names of the two outside encoder filters.
#pragma once

#include "Guid.h"

DEFINE_GUID(CLSID_FfdshowVideoEncoder, 0x6A7B2C10, 0x3E5F, 0x4B8A, 0x9C, 0x21, 0x5D, 0x0E, 0x7F,
            0x41, 0xA2, 0x01);
DEFINE_GUID(CLSID_FfdshowAudioProcessor, 0x6A7B2C10, 0x3E5F, 0x4B8A, 0x9C, 0x21, 0x5D, 0x0E, 0x7F,
            0x41, 0xA2, 0x02);

inline constexpr char16_t kFfdshowVideoEncoderName[] = u"ffdshow video encoder";
inline constexpr char16_t kFfdshowAudioProcessorName[] = u"ffdshow Audio Processor";

// The settings page of each filter. A host that shows property pages recognises these and edits
// the filter's registry settings (FfdshowSettings.h); the next conversion reads what it stored.
DEFINE_GUID(CLSID_FfdshowVideoEncoderPage, 0x6A7B2C10, 0x3E5F, 0x4B8A, 0x9C, 0x21, 0x5D, 0x0E,
            0x7F, 0x41, 0xA2, 0x11);
DEFINE_GUID(CLSID_FfdshowAudioProcessorPage, 0x6A7B2C10, 0x3E5F, 0x4B8A, 0x9C, 0x21, 0x5D, 0x0E,
            0x7F, 0x41, 0xA2, 0x12);
