// The type finder for recorder streams: a FileHeader with one of the three magics, followed
// by a valid group. Files carry ".mp4" names as often as ".264" or ".qrl", so the finder is
// ranked above the MP4 one and answers with full certainty when the first group checks out.
#pragma once

#include <gst/gst.h>

namespace recastgst {

inline constexpr const char* kRecorderStreamMediaType = "video/x-recorder-stream";

gboolean RegisterRecorderTypeFind(GstPlugin* plugin);

}  // namespace recastgst
