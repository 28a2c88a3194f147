// RecorderCaps: how a recorder stream's video and audio are described to GStreamer. The
// FileHeader's magic names the video coding and its audio code the audio coding (the same
// mapping the package's own decoders use); the header gives the picture size and the first
// group the frame rate.
#pragma once

#include <gst/gst.h>

#include "recorder/StreamFormat.h"

namespace recastgst {

// The caps of the video stream; nullptr when the magic names no coding we know.
GstCaps* VideoCapsFor(const recorder::FileHeader& header, const recorder::GroupHeader& group);

// The caps of the audio stream; nullptr when the audio code names no coding we know.
GstCaps* AudioCapsFor(const recorder::FileHeader& header);

}  // namespace recastgst
