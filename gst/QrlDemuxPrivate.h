// The insides of qrldemux, shared by the element (QrlDemux.cc) and its pulled mode with
// indexing and seeking (QrlDemuxPull.cc).
#pragma once

#include <gst/base/gstadapter.h>
#include <gst/gst.h>

#include <optional>

#include "DemuxStream.h"
#include "QrlDemux.h"
#include "RecorderIndex.h"

GST_DEBUG_CATEGORY_EXTERN(qrl_demux_debug);

namespace recastgst {

// Recorder times count 100 ns units.
inline constexpr GstClockTime kDemuxNanosecondsPerUnit = 100;

// Everything the streaming thread works on: made afresh on the way to PAUSED and back to
// READY. While streaming it is changed only by the streaming thread, or by a seek that holds
// the sink pad's stream lock (so never beside the streaming thread).
struct DemuxState {
  DemuxState(GstElement* element, const PadHandlers& handlers) : stream(element, handlers) {}
  ~DemuxState() { g_object_unref(adapter); }
  DemuxState(const DemuxState&) = delete;
  DemuxState& operator=(const DemuxState&) = delete;

  DemuxStream stream;
  GstAdapter* adapter = gst_adapter_new();  // pushed mode: collects the FileHeader
  // Pushed mode: a live source stamps its buffers with the pipeline's clock; the first stamp
  // after a start or a flush places the stream's own clock on it.
  bool awaitingStamp = true;
  // Pushed mode: where the last time segment from upstream starts (a seeking source's target).
  GstClockTime upstreamStart = 0;
  // Pushed mode: the last seek sent upstream (every output pad passes the same one on).
  guint32 lastSeekSeqnum = GST_SEQNUM_INVALID;

  // Pulled mode only.
  bool pulling = false;
  std::optional<RecorderIndex> index;
  guint64 offset = 0;  // the next byte to pull
  guint64 size = 0;    // of the file
};

// The pulled mode's streaming task (its data is the sink pad).
void PullLoop(gpointer sinkpad);

// A seek in pulled mode; false when it cannot be done (not in time, backwards, no index yet).
gboolean PerformSeek(GstQrlDemux* demux, GstEvent* event);

}  // namespace recastgst

struct _GstQrlDemux {
  GstElement parent;
  GstPad* sinkpad;
  recastgst::DemuxState* state;
  // The duration once the file is indexed (GST_CLOCK_TIME_NONE before); guarded by the object
  // lock, as queries read it from any thread.
  GstClockTime duration;
};
