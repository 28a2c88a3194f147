// qrldemux as a GStreamer element: pads, events, queries, scheduling and state. The bytes
// become samples in DemuxStream; reading a file with indexing and seeking is QrlDemuxPull.cc.
#include "QrlDemux.h"

#include "QrlDemuxPrivate.h"

GST_DEBUG_CATEGORY(qrl_demux_debug);
#define GST_CAT_DEFAULT qrl_demux_debug

G_DEFINE_TYPE(GstQrlDemux, gst_qrl_demux, GST_TYPE_ELEMENT);
GST_ELEMENT_REGISTER_DEFINE(qrldemux, "qrldemux", GST_RANK_PRIMARY, GST_TYPE_QRL_DEMUX);

namespace recastgst {
namespace {

GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-recorder-stream"));
GstStaticPadTemplate videoTemplate = GST_STATIC_PAD_TEMPLATE(
    "video", GST_PAD_SRC, GST_PAD_SOMETIMES,
    GST_STATIC_CAPS("video/x-h264, stream-format=(string)byte-stream, alignment=(string)au; "
                    "video/mpeg, mpegversion=(int)4, systemstream=(boolean)false"));
GstStaticPadTemplate audioTemplate = GST_STATIC_PAD_TEMPLATE(
    "audio", GST_PAD_SRC, GST_PAD_SOMETIMES,
    GST_STATIC_CAPS("audio/x-adpcm, layout=(string)g726; audio/x-alaw; audio/x-mulaw; "
                    "audio/G722"));

GstQrlDemux* DemuxOf(GstObject* parent) { return GST_QRL_DEMUX(parent); }

// ---- Source pads ---------------------------------------------------------------------------

gboolean SrcEvent(GstPad* pad, GstObject* parent, GstEvent* event) {
  GstQrlDemux* demux = DemuxOf(parent);
  if (GST_EVENT_TYPE(event) != GST_EVENT_SEEK) return gst_pad_event_default(pad, parent, event);
  // Pushed, the stream is upstream's to seek, if it can; once for all pads.
  if (!demux->state->pulling) {
    const guint32 seqnum = gst_event_get_seqnum(event);
    if (seqnum == demux->state->lastSeekSeqnum) {
      gst_event_unref(event);
      return TRUE;
    }
    demux->state->lastSeekSeqnum = seqnum;
    return gst_pad_push_event(demux->sinkpad, event);
  }
  const gboolean handled = PerformSeek(demux, event);
  gst_event_unref(event);
  return handled;
}

gboolean SrcQuery(GstPad* pad, GstObject* parent, GstQuery* query) {
  GstQrlDemux* demux = DemuxOf(parent);
  GST_OBJECT_LOCK(demux);
  const GstClockTime duration = demux->duration;
  GST_OBJECT_UNLOCK(demux);
  GstFormat format;
  switch (GST_QUERY_TYPE(query)) {
    case GST_QUERY_DURATION:
      gst_query_parse_duration(query, &format, nullptr);
      if (format != GST_FORMAT_TIME || !GST_CLOCK_TIME_IS_VALID(duration)) break;
      gst_query_set_duration(query, GST_FORMAT_TIME, static_cast<gint64>(duration));
      return TRUE;
    case GST_QUERY_SEEKING:
      gst_query_parse_seeking(query, &format, nullptr, nullptr, nullptr);
      if (format != GST_FORMAT_TIME || !GST_CLOCK_TIME_IS_VALID(duration)) break;
      gst_query_set_seeking(query, GST_FORMAT_TIME, TRUE, 0, static_cast<gint64>(duration));
      return TRUE;
    default: break;
  }
  return gst_pad_query_default(pad, parent, query);
}

// ---- Pushed mode ---------------------------------------------------------------------------

// A live source's first stamp places the stream's clock on the pipeline's.
void TakeStamp(DemuxState& state, GstClockTime stamp) {
  if (!state.awaitingStamp) return;
  state.awaitingStamp = false;
  if (GST_CLOCK_TIME_IS_VALID(stamp)) state.stream.SetBase(stamp);
}

GstFlowReturn Chain(GstPad*, GstObject* parent, GstBuffer* buffer) {
  DemuxState& state = *DemuxOf(parent)->state;
  if (!state.stream.HasHeader()) {
    const GstClockTime stamp = GST_BUFFER_PTS(buffer);
    gst_adapter_push(state.adapter, buffer);
    if (gst_adapter_available(state.adapter) < recorder::kFileHeaderSize) return GST_FLOW_OK;
    const auto* header =
        static_cast<const guint8*>(gst_adapter_map(state.adapter, recorder::kFileHeaderSize));
    const bool taken = state.stream.TakeHeader(recorder::ByteSpan(header, recorder::kFileHeaderSize));
    gst_adapter_unmap(state.adapter);
    if (!taken) return GST_FLOW_ERROR;
    state.stream.SetBase(state.upstreamStart);
    TakeStamp(state, stamp);
    gst_adapter_flush(state.adapter, recorder::kFileHeaderSize);
    const gsize rest = gst_adapter_available(state.adapter);
    if (rest == 0) return GST_FLOW_OK;
    buffer = gst_adapter_take_buffer(state.adapter, rest);
  }
  TakeStamp(state, GST_BUFFER_PTS(buffer));
  GstMapInfo map;
  gst_buffer_map(buffer, &map, GST_MAP_READ);
  const GstFlowReturn result = state.stream.Feed(recorder::ByteSpan(map.data, map.size));
  gst_buffer_unmap(buffer, &map);
  gst_buffer_unref(buffer);
  return result;
}

// A time segment from upstream (a source that seeks in time) says where the stream now
// stands: what follows is a new stretch whose samples play from its start. Byte segments (a
// file pushed) say nothing of time.
void TakeSegment(DemuxState& state, GstEvent* event) {
  const GstSegment* upstream = nullptr;
  gst_event_parse_segment(event, &upstream);
  if (!upstream || upstream->format != GST_FORMAT_TIME) return;
  GstSegment segment;
  gst_segment_init(&segment, GST_FORMAT_TIME);
  segment.start = upstream->start;
  segment.time = upstream->time;
  segment.position = upstream->start;
  segment.rate = upstream->rate;
  state.upstreamStart = upstream->start;
  if (state.stream.HasHeader()) state.stream.RestartAt(state.stream.EndOffset(), upstream->start);
  state.stream.SetSegment(segment, gst_event_get_seqnum(event));
}

gboolean SinkEvent(GstPad* pad, GstObject* parent, GstEvent* event) {
  DemuxState& state = *DemuxOf(parent)->state;
  DemuxStream& stream = state.stream;
  switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_EOS:
      stream.Finish(gst_event_get_seqnum(event));
      gst_event_unref(event);
      return TRUE;
    case GST_EVENT_FLUSH_STOP: {
      // What follows a flush is a new stretch of the stream: wait for a resume point again.
      stream.RestartAt(stream.EndOffset(), 0);
      state.awaitingStamp = true;
      GstSegment segment;
      gst_segment_init(&segment, GST_FORMAT_TIME);
      stream.SetSegment(segment, gst_event_get_seqnum(event));
      stream.Outputs().PushEvent(event);
      return TRUE;
    }
    case GST_EVENT_FLUSH_START:
      stream.Outputs().PushEvent(event);
      return TRUE;
    case GST_EVENT_SEGMENT:
      TakeSegment(state, event);
      gst_event_unref(event);
      return TRUE;
    // The stream's own caps and stream start are made here, from its content.
    case GST_EVENT_CAPS:
    case GST_EVENT_STREAM_START:
      gst_event_unref(event);
      return TRUE;
    default: return gst_pad_event_default(pad, parent, event);
  }
}

// ---- Scheduling and state ------------------------------------------------------------------

gboolean SinkActivate(GstPad* pad, GstObject*) {
  GstQuery* query = gst_query_new_scheduling();
  const bool pull = gst_pad_peer_query(pad, query) &&
                    gst_query_has_scheduling_mode_with_flags(query, GST_PAD_MODE_PULL,
                                                             GST_SCHEDULING_FLAG_SEEKABLE);
  gst_query_unref(query);
  return gst_pad_activate_mode(pad, pull ? GST_PAD_MODE_PULL : GST_PAD_MODE_PUSH, TRUE);
}

gboolean SinkActivateMode(GstPad* pad, GstObject* parent, GstPadMode mode, gboolean active) {
  GstQrlDemux* demux = DemuxOf(parent);
  switch (mode) {
    case GST_PAD_MODE_PUSH: demux->state->pulling = false; return TRUE;
    case GST_PAD_MODE_PULL:
      if (!active) return gst_pad_stop_task(pad);
      demux->state->pulling = true;
      return gst_pad_start_task(pad, PullLoop, pad, nullptr);
    default: return FALSE;
  }
}

// One reset for construction and every way back to the initial state.
void ResetState(GstQrlDemux* demux) {
  delete demux->state;
  demux->state = new DemuxState(GST_ELEMENT(demux), {SrcEvent, SrcQuery});
  GST_OBJECT_LOCK(demux);
  demux->duration = GST_CLOCK_TIME_NONE;
  GST_OBJECT_UNLOCK(demux);
}

GstStateChangeReturn ChangeState(GstElement* element, GstStateChange transition) {
  GstQrlDemux* demux = GST_QRL_DEMUX(element);
  if (transition == GST_STATE_CHANGE_READY_TO_PAUSED) ResetState(demux);
  const GstStateChangeReturn result =
      GST_ELEMENT_CLASS(gst_qrl_demux_parent_class)->change_state(element, transition);
  // The streaming thread has stopped with the sink pad's deactivation.
  if (transition == GST_STATE_CHANGE_PAUSED_TO_READY) {
    demux->state->stream.Outputs().Remove();
    ResetState(demux);
  }
  return result;
}

}  // namespace
}  // namespace recastgst

static void gst_qrl_demux_finalize(GObject* object) {
  GstQrlDemux* demux = GST_QRL_DEMUX(object);
  delete demux->state;
  demux->state = nullptr;
  G_OBJECT_CLASS(gst_qrl_demux_parent_class)->finalize(object);
}

static void gst_qrl_demux_class_init(GstQrlDemuxClass* klass) {
  using namespace recastgst;
  GST_DEBUG_CATEGORY_INIT(qrl_demux_debug, "qrldemux", 0, "recorder stream demuxer");
  G_OBJECT_CLASS(klass)->finalize = gst_qrl_demux_finalize;
  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  element->change_state = ChangeState;
  gst_element_class_add_static_pad_template(element, &sinkTemplate);
  gst_element_class_add_static_pad_template(element, &videoTemplate);
  gst_element_class_add_static_pad_template(element, &audioTemplate);
  gst_element_class_set_static_metadata(element, "Recorder stream demuxer", "Codec/Demuxer",
                                        "Splits recorder streams into their video and audio",
                                        "Recast for Linux");
}

static void gst_qrl_demux_init(GstQrlDemux* demux) {
  using namespace recastgst;
  demux->sinkpad = gst_pad_new_from_static_template(&sinkTemplate, "sink");
  gst_pad_set_activate_function(demux->sinkpad, SinkActivate);
  gst_pad_set_activatemode_function(demux->sinkpad, SinkActivateMode);
  gst_pad_set_chain_function(demux->sinkpad, Chain);
  gst_pad_set_event_function(demux->sinkpad, SinkEvent);
  gst_element_add_pad(GST_ELEMENT(demux), demux->sinkpad);
  demux->state = nullptr;
  ResetState(demux);
}
