// qrlsrc: the source element for recorder URLs (ntrt, ntfl, Real, svrt and svfl, in any case),
// so every GStreamer player opens them. It runs the network source's back-end sessions and
// pushes their stream unchanged, the FileHeader first, as video/x-recorder-stream, which
// qrldemux takes.
//
// Live sources (ntrt, Real, svrt) are live: nothing flows while paused, and a pause stops or
// pauses the back end as the session decides. Recorded ones (ntfl, svfl) report their length
// and seek as their session does: a recorder playback to a percentage of its length, a stream
// server to whole seconds; paused, they are held by the full queue. Their back ends never say that a recording has ended, so a recorded
// stream ends after "idle-end" seconds in which its running back end sent nothing.
#pragma once

#include <gst/base/gstbasesrc.h>
#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_QRL_SRC (gst_qrl_src_get_type())
G_DECLARE_FINAL_TYPE(GstQrlSrc, gst_qrl_src, GST, QRL_SRC, GstBaseSrc)

GST_ELEMENT_REGISTER_DECLARE(qrlsrc);

G_END_DECLS
