// What the AVI multiplexer can store: a video type with a VIDEOINFOHEADER whose FourCC the AVI
// tag tables know (or uncompressed RGB), or an audio type with a WAVEFORMATEX whose format tag
// they know. The media type becomes libavformat stream parameters and the time base in which
// packet times are counted (frames for video, sample frames for audio).
#pragma once

#include "DShowErrors.h"
#include "MediaType.h"

extern "C" {
#include <libavcodec/codec_par.h>
}

struct AviStreamFormat {
  AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
  AVRational timeBase{0, 1};
  REFERENCE_TIME frameDuration = 0;  // video: 100 ns units per frame
  int blockAlign = 0;                // audio: bytes per sample frame
  bool pcm = false;                  // audio: uncompressed
  bool unsignedPcm = false;          // audio: 8-bit PCM, whose silence is 0x80
};

// S_OK and the parameters; VFW_E_TYPE_NOT_ACCEPTED for types an AVI file cannot hold or format
// blocks that are short or inconsistent. `par` may be null to only check.
HRESULT DescribeAviStream(const CMediaType& mt, AVCodecParameters* par, AviStreamFormat* format);
