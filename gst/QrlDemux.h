// qrldemux: recorder stream in, H.264 or MPEG-4 part 2 video and G.726, G.711 or G.722 audio
// out, each sample stamped by the format's clock rules and marked key or delta.
//
// Scheduling: pulling (a file) when upstream allows it, else pushed (a network stream).
// Pulling, the element first reads the whole file once into a group index, so it knows the
// duration and seeks to the key group before (or, asked for, after) a target; pushed, it plays
// the stream as it comes and cannot seek. Damage is skipped either way: bytes that are not a
// group are passed over, and playback resumes at the next group where decoding may start.
//
// Pads: "sink" always; "video" and "audio" appear once the first playable group is found,
// for the streams the FileHeader announces in a coding we know.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_QRL_DEMUX (gst_qrl_demux_get_type())
G_DECLARE_FINAL_TYPE(GstQrlDemux, gst_qrl_demux, GST, QRL_DEMUX, GstElement)

GST_ELEMENT_REGISTER_DECLARE(qrldemux);

G_END_DECLS
