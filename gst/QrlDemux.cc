#include "QrlDemux.h"

#include <gst/base/gstadapter.h>

#include <memory>
#include <optional>

#include "DemuxOutputs.h"
#include "GroupScanner.h"
#include "RecorderCaps.h"
#include "RecorderIndex.h"
#include "RecorderTypeFind.h"

GST_DEBUG_CATEGORY_STATIC(qrl_demux_debug);
#define GST_CAT_DEFAULT qrl_demux_debug

namespace {

using namespace recastgst;

// Bytes asked of upstream per pull while indexing and playing.
constexpr guint kPullChunk = 256 * 1024;
constexpr GstClockTime kNanosecondsPerUnit = 100;

// Everything the streaming thread works on. Created and reset on state changes; while
// streaming, changed only by the streaming thread or by a seek that holds the sink pad's
// stream lock (so it never runs beside the streaming thread).
struct DemuxState {
  explicit DemuxState(GstElement* element) : outputs(element) {}

  std::optional<recorder::FileHeader> header;
  GstAdapter* adapter = gst_adapter_new();  // pushed mode: collects the FileHeader
  GroupScanner scanner;
  std::unique_ptr<vendor::GroupTiming> timing;
  DemuxOutputs outputs;
  GstSegment segment;
  GstClockTime base = 0;  // the time of the scanner's first group, nanoseconds

  // Pulled mode only.
  bool pulling = false;
  std::optional<RecorderIndex> index;
  guint64 offset = 0;  // next byte to pull
  guint64 size = 0;    // of the file

  ~DemuxState() { g_object_unref(adapter); }
};

}  // namespace

struct _GstQrlDemux {
  GstElement parent;
  GstPad* sinkpad;
  DemuxState* state;
  // The duration once the index is built (GST_CLOCK_TIME_NONE before); guarded by the
  // object lock, as queries read it from any thread.
  GstClockTime duration;
};

G_DEFINE_TYPE(GstQrlDemux, gst_qrl_demux, GST_TYPE_ELEMENT);
GST_ELEMENT_REGISTER_DEFINE(qrldemux, "qrldemux", GST_RANK_PRIMARY, GST_TYPE_QRL_DEMUX);

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

gboolean SrcEvent(GstPad* pad, GstObject* parent, GstEvent* event);
gboolean SrcQuery(GstPad* pad, GstObject* parent, GstQuery* query);

// ---- Starting over -------------------------------------------------------------------------

void ResetState(GstQrlDemux* demux) {
  delete demux->state;
  demux->state = new DemuxState(GST_ELEMENT(demux));
  gst_segment_init(&demux->state->segment, GST_FORMAT_TIME);
  GST_OBJECT_LOCK(demux);
  demux->duration = GST_CLOCK_TIME_NONE;
  GST_OBJECT_UNLOCK(demux);
}

// Reading goes on from the group at `offset`, which plays at `base` in the file.
void RestartAt(DemuxState& state, guint64 offset, GstClockTime base) {
  state.scanner.Restart(offset);
  state.timing->Reset();
  state.base = base;
  state.offset = offset;
}

// The FileHeader at the start of the stream; false when it is not a recorder stream.
bool TakeHeader(GstQrlDemux* demux, const guint8* bytes) {
  const auto header = recorder::ParseFileHeader(recorder::ByteSpan(bytes, recorder::kFileHeaderSize));
  if (!header || !IsRecorderMagic(header->magic)) {
    GST_ELEMENT_ERROR(demux, STREAM, WRONG_TYPE, ("Not a recorder stream."),
                      ("no recorder magic in the stream header"));
    return false;
  }
  DemuxState& state = *demux->state;
  state.header = header;
  state.timing = std::make_unique<vendor::GroupTiming>(header->systemType);
  RestartAt(state, recorder::kFileHeaderSize, 0);
  return true;
}

// ---- Groups to buffers ---------------------------------------------------------------------

GstFlowReturn HandleGroup(GstQrlDemux* demux, const ScannedGroup& group) {
  DemuxState& state = *demux->state;
  vendor::GroupTimes times;
  if (!state.timing->Accept(group.view, group.afterDamage, times)) return GST_FLOW_OK;
  if (!state.outputs.Created()) {
    if (!state.outputs.Create(*state.header, group.view.header, {SrcEvent, SrcQuery})) {
      GST_ELEMENT_ERROR(demux, STREAM, CODEC_NOT_FOUND, ("No stream in a known coding."),
                        ("magic %08x, audio code %#x", state.header->magic,
                         state.header->audioCodec));
      return GST_FLOW_ERROR;
    }
    state.outputs.SetSegment(state.segment, GST_SEQNUM_INVALID);
  }
  if (group.afterDamage) state.outputs.MarkDiscontinuity();
  const GstClockTime start =
      state.base + static_cast<GstClockTime>(times.Start()) * kNanosecondsPerUnit;
  if (GST_CLOCK_TIME_IS_VALID(state.segment.stop) && start >= state.segment.stop)
    return GST_FLOW_EOS;
  state.segment.position = start;
  const bool key = vendor::GroupTiming::MayResumeAt(group.view.header, state.header->systemType);
  for (const Packet& packet : PacketsOf(group.view, times, key)) {
    const GstFlowReturn result = state.outputs.Push(packet, state.base);
    if (result != GST_FLOW_OK) return result;
  }
  return GST_FLOW_OK;
}

GstFlowReturn FeedGroups(GstQrlDemux* demux, recorder::ByteSpan bytes) {
  DemuxState& state = *demux->state;
  state.scanner.Push(bytes);
  while (const std::optional<ScannedGroup> group = state.scanner.Next()) {
    const GstFlowReturn result = HandleGroup(demux, *group);
    if (result != GST_FLOW_OK) return result;
  }
  return GST_FLOW_OK;
}

// The end of the data: end of stream downstream, or an error when nothing could be played.
void FinishStream(GstQrlDemux* demux, guint32 seqnum) {
  DemuxState& state = *demux->state;
  if (!state.outputs.Created()) {
    GST_ELEMENT_ERROR(demux, STREAM, DEMUX, ("The recording holds no playable group."),
                      ("end of stream before the first group"));
    return;
  }
  GstEvent* eos = gst_event_new_eos();
  if (seqnum != GST_SEQNUM_INVALID) gst_event_set_seqnum(eos, seqnum);
  state.outputs.PushEvent(eos);
}

// ---- Pulled mode ---------------------------------------------------------------------------

GstFlowReturn Pull(GstQrlDemux* demux, guint64 offset, guint size, GstBuffer** buffer) {
  *buffer = nullptr;
  const GstFlowReturn result = gst_pad_pull_range(demux->sinkpad, offset, size, buffer);
  if (result == GST_FLOW_OK && gst_buffer_get_size(*buffer) == 0) {
    gst_buffer_unref(*buffer);
    *buffer = nullptr;
    return GST_FLOW_EOS;
  }
  return result;
}

GstFlowReturn PullHeader(GstQrlDemux* demux) {
  DemuxState& state = *demux->state;
  gint64 size = 0;
  if (!gst_pad_peer_query_duration(demux->sinkpad, GST_FORMAT_BYTES, &size) || size < 0) {
    GST_ELEMENT_ERROR(demux, STREAM, DEMUX, (nullptr), ("upstream does not know its size"));
    return GST_FLOW_ERROR;
  }
  state.size = static_cast<guint64>(size);
  GstBuffer* buffer = nullptr;
  GstFlowReturn result = Pull(demux, 0, recorder::kFileHeaderSize, &buffer);
  if (result != GST_FLOW_OK) return result;
  GstMapInfo map;
  gst_buffer_map(buffer, &map, GST_MAP_READ);
  const bool complete = map.size >= recorder::kFileHeaderSize;
  const bool taken = complete && TakeHeader(demux, map.data);
  gst_buffer_unmap(buffer, &map);
  gst_buffer_unref(buffer);
  if (!complete) {
    GST_ELEMENT_ERROR(demux, STREAM, WRONG_TYPE, ("Not a recorder stream."),
                      ("shorter than a stream header"));
  }
  return taken ? GST_FLOW_OK : GST_FLOW_ERROR;
}

GstFlowReturn BuildIndex(GstQrlDemux* demux) {
  DemuxState& state = *demux->state;
  IndexBuilder builder(state.header->systemType, recorder::kFileHeaderSize);
  for (guint64 offset = recorder::kFileHeaderSize; offset < state.size;) {
    GstBuffer* buffer = nullptr;
    const GstFlowReturn result = Pull(demux, offset, kPullChunk, &buffer);
    if (result == GST_FLOW_EOS) break;
    if (result != GST_FLOW_OK) return result;
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_READ);
    builder.Feed(recorder::ByteSpan(map.data, map.size));
    offset += map.size;
    gst_buffer_unmap(buffer, &map);
    gst_buffer_unref(buffer);
  }
  state.index = builder.Finish();
  const GstClockTime duration =
      static_cast<GstClockTime>(state.index->Duration()) * kNanosecondsPerUnit;
  state.segment.duration = duration;
  GST_OBJECT_LOCK(demux);
  demux->duration = duration;
  GST_OBJECT_UNLOCK(demux);
  GST_INFO_OBJECT(demux, "indexed %zu groups, duration %" GST_TIME_FORMAT,
                  state.index->Entries().size(), GST_TIME_ARGS(duration));
  gst_element_post_message(GST_ELEMENT(demux), gst_message_new_duration_changed(GST_OBJECT(demux)));
  return GST_FLOW_OK;
}

void PauseOnFlow(GstQrlDemux* demux, GstFlowReturn result) {
  GST_DEBUG_OBJECT(demux, "pausing: %s", gst_flow_get_name(result));
  gst_pad_pause_task(demux->sinkpad);
  DemuxState& state = *demux->state;
  if (result == GST_FLOW_EOS) {
    if (state.segment.flags & GST_SEGMENT_FLAG_SEGMENT) {
      const gint64 stop = GST_CLOCK_TIME_IS_VALID(state.segment.stop)
                              ? static_cast<gint64>(state.segment.stop)
                              : static_cast<gint64>(state.segment.duration);
      gst_element_post_message(GST_ELEMENT(demux), gst_message_new_segment_done(
                                                       GST_OBJECT(demux), GST_FORMAT_TIME, stop));
      state.outputs.PushEvent(gst_event_new_segment_done(GST_FORMAT_TIME, stop));
    } else {
      FinishStream(demux, GST_SEQNUM_INVALID);
    }
  } else if (result == GST_FLOW_NOT_LINKED || result < GST_FLOW_EOS) {
    // An error already posted (a header or a coding we cannot play) needs no second one.
    if (state.outputs.Created()) {
      GST_ELEMENT_FLOW_ERROR(demux, result);
      state.outputs.PushEvent(gst_event_new_eos());
    }
  }
}

void Loop(gpointer data) {
  GstQrlDemux* demux = GST_QRL_DEMUX(GST_PAD_PARENT(static_cast<GstPad*>(data)));
  DemuxState& state = *demux->state;
  GstFlowReturn result = GST_FLOW_OK;
  if (!state.header) result = PullHeader(demux);
  if (result == GST_FLOW_OK && !state.index) result = BuildIndex(demux);
  if (result == GST_FLOW_OK && state.offset >= state.size) result = GST_FLOW_EOS;
  if (result == GST_FLOW_OK) {
    GstBuffer* buffer = nullptr;
    result = Pull(demux, state.offset, kPullChunk, &buffer);
    if (result == GST_FLOW_OK) {
      GstMapInfo map;
      gst_buffer_map(buffer, &map, GST_MAP_READ);
      state.offset += map.size;
      result = FeedGroups(demux, recorder::ByteSpan(map.data, map.size));
      gst_buffer_unmap(buffer, &map);
      gst_buffer_unref(buffer);
    }
  }
  if (result != GST_FLOW_OK) PauseOnFlow(demux, result);
}

// ---- Seeking -------------------------------------------------------------------------------

const IndexEntry* SeekTarget(const RecorderIndex& index, GstSeekFlags flags, int64_t time) {
  const bool before = (flags & GST_SEEK_FLAG_SNAP_BEFORE) != 0;
  const bool after = (flags & GST_SEEK_FLAG_SNAP_AFTER) != 0;
  if (after && !before) return index.KeyAfter(time);
  if (after && before) return index.KeyNearest(time);
  return index.KeyBefore(time);
}

gboolean PerformSeek(GstQrlDemux* demux, GstEvent* event) {
  gdouble rate;
  GstFormat format;
  GstSeekFlags flags;
  GstSeekType startType, stopType;
  gint64 start, stop;
  gst_event_parse_seek(event, &rate, &format, &flags, &startType, &start, &stopType, &stop);
  if (format != GST_FORMAT_TIME || rate <= 0) {
    GST_DEBUG_OBJECT(demux, "only forward seeks in time are supported");
    return FALSE;
  }
  const guint32 seqnum = gst_event_get_seqnum(event);
  const bool flush = (flags & GST_SEEK_FLAG_FLUSH) != 0;
  if (flush) {
    GstEvent* flushStart = gst_event_new_flush_start();
    gst_event_set_seqnum(flushStart, seqnum);
    gst_pad_push_event(demux->sinkpad, gst_event_ref(flushStart));
    demux->state->outputs.PushEvent(flushStart);
  } else {
    gst_pad_pause_task(demux->sinkpad);
  }
  GST_PAD_STREAM_LOCK(demux->sinkpad);
  DemuxState& state = *demux->state;
  gboolean done = FALSE;
  if (state.index) {
    GstSegment segment = state.segment;
    gboolean update;
    gst_segment_do_seek(&segment, rate, format, flags, startType, static_cast<guint64>(start),
                        stopType, static_cast<guint64>(stop), &update);
    const IndexEntry* entry = SeekTarget(
        *state.index, flags, static_cast<int64_t>(segment.position / kNanosecondsPerUnit));
    if (entry) {
      const GstClockTime keyTime = static_cast<GstClockTime>(entry->time) * kNanosecondsPerUnit;
      if (flags & GST_SEEK_FLAG_KEY_UNIT) segment.start = segment.time = keyTime;
      segment.position = keyTime;
      state.segment = segment;
      RestartAt(state, entry->offset, keyTime);
      done = TRUE;
    }
  }
  if (flush) {
    GstEvent* flushStop = gst_event_new_flush_stop(TRUE);
    gst_event_set_seqnum(flushStop, seqnum);
    gst_pad_push_event(demux->sinkpad, gst_event_ref(flushStop));
    state.outputs.PushEvent(flushStop);
  }
  if (done) state.outputs.SetSegment(state.segment, seqnum);
  if (done && (state.segment.flags & GST_SEGMENT_FLAG_SEGMENT)) {
    gst_element_post_message(GST_ELEMENT(demux),
                             gst_message_new_segment_start(GST_OBJECT(demux), GST_FORMAT_TIME,
                                                           static_cast<gint64>(state.segment.position)));
  }
  gst_pad_start_task(demux->sinkpad, Loop, demux->sinkpad, nullptr);
  GST_PAD_STREAM_UNLOCK(demux->sinkpad);
  return done;
}

// ---- Source pads ---------------------------------------------------------------------------

gboolean SrcEvent(GstPad* pad, GstObject* parent, GstEvent* event) {
  GstQrlDemux* demux = DemuxOf(parent);
  if (GST_EVENT_TYPE(event) != GST_EVENT_SEEK) return gst_pad_event_default(pad, parent, event);
  gboolean handled;
  if (demux->state->pulling) {
    handled = PerformSeek(demux, event);
    gst_event_unref(event);
  } else {
    handled = gst_pad_push_event(demux->sinkpad, event);
  }
  return handled;
}

gboolean SrcQuery(GstPad* pad, GstObject* parent, GstQuery* query) {
  GstQrlDemux* demux = DemuxOf(parent);
  GST_OBJECT_LOCK(demux);
  const GstClockTime duration = demux->duration;
  GST_OBJECT_UNLOCK(demux);
  switch (GST_QUERY_TYPE(query)) {
    case GST_QUERY_DURATION: {
      GstFormat format;
      gst_query_parse_duration(query, &format, nullptr);
      if (format != GST_FORMAT_TIME || !GST_CLOCK_TIME_IS_VALID(duration)) break;
      gst_query_set_duration(query, GST_FORMAT_TIME, static_cast<gint64>(duration));
      return TRUE;
    }
    case GST_QUERY_SEEKING: {
      GstFormat format;
      gst_query_parse_seeking(query, &format, nullptr, nullptr, nullptr);
      if (format != GST_FORMAT_TIME || !GST_CLOCK_TIME_IS_VALID(duration)) break;
      gst_query_set_seeking(query, GST_FORMAT_TIME, TRUE, 0, static_cast<gint64>(duration));
      return TRUE;
    }
    default: break;
  }
  return gst_pad_query_default(pad, parent, query);
}

// ---- Pushed mode ---------------------------------------------------------------------------

GstFlowReturn Chain(GstPad*, GstObject* parent, GstBuffer* buffer) {
  GstQrlDemux* demux = DemuxOf(parent);
  DemuxState& state = *demux->state;
  if (!state.header) {
    gst_adapter_push(state.adapter, buffer);
    if (gst_adapter_available(state.adapter) < recorder::kFileHeaderSize) return GST_FLOW_OK;
    if (!TakeHeader(demux, static_cast<const guint8*>(
                               gst_adapter_map(state.adapter, recorder::kFileHeaderSize)))) {
      gst_adapter_unmap(state.adapter);
      return GST_FLOW_ERROR;
    }
    gst_adapter_unmap(state.adapter);
    gst_adapter_flush(state.adapter, recorder::kFileHeaderSize);
    const gsize rest = gst_adapter_available(state.adapter);
    if (rest == 0) return GST_FLOW_OK;
    buffer = gst_adapter_take_buffer(state.adapter, rest);
  }
  GstMapInfo map;
  gst_buffer_map(buffer, &map, GST_MAP_READ);
  const GstFlowReturn result = FeedGroups(demux, recorder::ByteSpan(map.data, map.size));
  gst_buffer_unmap(buffer, &map);
  gst_buffer_unref(buffer);
  return result;
}

gboolean SinkEvent(GstPad* pad, GstObject* parent, GstEvent* event) {
  GstQrlDemux* demux = DemuxOf(parent);
  DemuxState& state = *demux->state;
  switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_EOS:
      FinishStream(demux, gst_event_get_seqnum(event));
      gst_event_unref(event);
      return TRUE;
    case GST_EVENT_FLUSH_STOP:
      // What follows a flush is a new stretch of the stream: wait for a resume point again.
      if (state.timing) RestartAt(state, state.scanner.EndOffset(), 0);
      gst_segment_init(&state.segment, GST_FORMAT_TIME);
      state.outputs.SetSegment(state.segment, gst_event_get_seqnum(event));
      state.outputs.PushEvent(event);
      return TRUE;
    case GST_EVENT_FLUSH_START: state.outputs.PushEvent(event); return TRUE;
    // The stream's own caps, segment and stream start are made here, from its content.
    case GST_EVENT_CAPS:
    case GST_EVENT_SEGMENT:
    case GST_EVENT_STREAM_START:
      gst_event_unref(event);
      return TRUE;
    default: return gst_pad_event_default(pad, parent, event);
  }
}

// ---- Activation and state ------------------------------------------------------------------

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
      return gst_pad_start_task(pad, Loop, pad, nullptr);
    default: return FALSE;
  }
}

GstStateChangeReturn ChangeState(GstElement* element, GstStateChange transition) {
  GstQrlDemux* demux = GST_QRL_DEMUX(element);
  if (transition == GST_STATE_CHANGE_READY_TO_PAUSED) ResetState(demux);
  const GstStateChangeReturn result =
      GST_ELEMENT_CLASS(gst_qrl_demux_parent_class)->change_state(element, transition);
  if (transition == GST_STATE_CHANGE_PAUSED_TO_READY) {
    demux->state->outputs.Remove();
    ResetState(demux);
  }
  return result;
}

}  // namespace

static void gst_qrl_demux_finalize(GObject* object) {
  GstQrlDemux* demux = GST_QRL_DEMUX(object);
  delete demux->state;
  demux->state = nullptr;
  G_OBJECT_CLASS(gst_qrl_demux_parent_class)->finalize(object);
}

static void gst_qrl_demux_class_init(GstQrlDemuxClass* klass) {
  GST_DEBUG_CATEGORY_INIT(qrl_demux_debug, "qrldemux", 0, "recorder stream demuxer");
  G_OBJECT_CLASS(klass)->finalize = gst_qrl_demux_finalize;
  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  element->change_state = ChangeState;
  gst_element_class_add_static_pad_template(element, &sinkTemplate);
  gst_element_class_add_static_pad_template(element, &videoTemplate);
  gst_element_class_add_static_pad_template(element, &audioTemplate);
  gst_element_class_set_static_metadata(
      element, "Recorder stream demuxer", "Codec/Demuxer",
      "Splits recorder streams into their video and audio", "Recast for Linux");
}

static void gst_qrl_demux_init(GstQrlDemux* demux) {
  demux->sinkpad = gst_pad_new_from_static_template(&sinkTemplate, "sink");
  gst_pad_set_activate_function(demux->sinkpad, SinkActivate);
  gst_pad_set_activatemode_function(demux->sinkpad, SinkActivateMode);
  gst_pad_set_chain_function(demux->sinkpad, Chain);
  gst_pad_set_event_function(demux->sinkpad, SinkEvent);
  gst_element_add_pad(GST_ELEMENT(demux), demux->sinkpad);
  demux->state = nullptr;
  ResetState(demux);
}
