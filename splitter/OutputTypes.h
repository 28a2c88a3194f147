// The media types of the splitter's two outputs, built from the connection's FileHeader. The
// types, format blocks and sample layouts are the recorder format's (RecorderMediaTypes.h),
// shared with the file source; this file puts them into the platform's media type.
#pragma once

#include "MediaType.h"
#include "recorder/StreamFormat.h"

namespace splitter {

// The stream as the input connection describes it.
struct ConnectionFormat {
  recorder::FileHeader header;
  recorder::StreamParams params;  // picture size, normalised audio codec
};

// The video output's one type: the subtype by magic (none for an unknown magic). The format
// block announces 25 fps whatever the groups say.
HRESULT BuildVideoType(const ConnectionFormat& format, CMediaType* type);
// The audio output's one type: by codec, or the no-audio type for a video-only stream.
HRESULT BuildAudioType(const ConnectionFormat& format, CMediaType* type);

// What each output accepts: major type and subtype only.
bool IsVideoOutputType(const CMediaType& type);
bool IsAudioOutputType(const CMediaType& type);

}  // namespace splitter
