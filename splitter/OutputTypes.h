// The media types of the splitter's two outputs, built from the connection's FileHeader. Each
// format block starts with the whole 40-byte FileHeader, so the decoder downstream sees the
// stream's magic, version and audio parameters; the platform's format structure follows it.
#pragma once

#include "MediaType.h"
#include "recorder/StreamFormat.h"

namespace splitter {

constexpr ULONG kVideoFormatSize = recorder::kFileHeaderSize + sizeof(VIDEOINFOHEADER);  // 128
constexpr ULONG kAudioFormatSize = recorder::kFileHeaderSize + sizeof(WAVEFORMATEX) + 2;  // 60
constexpr ULONG kAudioSampleSize = 96;            // what the audio decoder expects to be told
constexpr WORD kRecorderWaveFormatTag = 0x4061;   // the recorder's audio in a WAVEFORMATEX
constexpr REFERENCE_TIME kNominalFrameTime = 400'000;  // 25 fps, whatever the groups say

// The stream as the input connection describes it.
struct ConnectionFormat {
  recorder::FileHeader header;
  recorder::StreamParams params;  // picture size, normalised audio codec
};

// The video output's one type: the subtype by magic (none for an unknown magic).
HRESULT BuildVideoType(const ConnectionFormat& format, CMediaType* type);
// The audio output's one type: by codec, or the no-audio type for a video-only stream.
HRESULT BuildAudioType(const ConnectionFormat& format, CMediaType* type);

// What each output accepts: major type and subtype only.
bool IsVideoOutputType(const CMediaType& type);
bool IsAudioOutputType(const CMediaType& type);

}  // namespace splitter
