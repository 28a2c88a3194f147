// What the copying multiplexers ("MP4 Mux", "Matroska Mux") take on their inputs, and how each
// input becomes a container stream:
//   video  the recorder's compressed video (recorder stream type, FileHeader and
//          VIDEOINFOHEADER format block), copied: H.264 or MPEG-4 part 2 by the header's magic;
//   audio  16-bit PCM, encoded to AAC at 16 kHz mono; or, in Matroska only, the recorder's
//          G.711 blocks, copied as they are.
#pragma once

#include <cstdint>

#include "ElementaryFrame.h"
#include "DShowErrors.h"
#include "MediaType.h"

enum class CopyContainer { Mp4, Matroska };

enum class CopyInput { None, Video, Pcm, G711 };

struct CopyStreamFormat {
  CopyInput input = CopyInput::None;
  ElementaryCodec videoCodec = ElementaryCodec::H264;  // Video
  int width = 0, height = 0;                           // Video
  REFERENCE_TIME frameDuration = 0;                    // Video: from the format block
  int sampleRate = 0;                                  // Pcm, G711
  int channels = 0;                                    // Pcm, G711
  bool aLaw = false;                                   // G711: A-law rather than µ-law
};

// S_OK with the description; VFW_E_TYPE_NOT_ACCEPTED for anything else, including G.711 for
// MP4 and format blocks that are short or out of range.
HRESULT DescribeCopyVideo(const CMediaType& mt, CopyStreamFormat& format);
HRESULT DescribeCopyAudio(const CMediaType& mt, CopyContainer container, CopyStreamFormat& format);

// libavformat's short name of the container.
const char* ContainerName(CopyContainer container);
