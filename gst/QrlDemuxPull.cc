// qrldemux reading a file: the file is indexed once, then read from a group on in large
// pulls; a seek picks a key group from the index and restarts reading there.
#include "QrlDemuxPrivate.h"

#define GST_CAT_DEFAULT qrl_demux_debug

namespace recastgst {
namespace {

// Bytes asked of upstream per pull while indexing and playing.
constexpr guint kPullChunk = 256 * 1024;

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

// Pulls from `offset` on and hands each piece to `take`, until the end of the file, a failed
// pull or a result of `take` other than GST_FLOW_OK. Returns that result (GST_FLOW_EOS at the
// end of the file) and leaves `offset` behind the last byte taken.
template <typename Take>
GstFlowReturn PullPieces(GstQrlDemux* demux, guint64& offset, Take take, bool once) {
  do {
    if (offset >= demux->state->size) return GST_FLOW_EOS;
    GstBuffer* buffer = nullptr;
    GstFlowReturn result = Pull(demux, offset, kPullChunk, &buffer);
    if (result != GST_FLOW_OK) return result;
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_READ);
    offset += map.size;
    result = take(recorder::ByteSpan(map.data, map.size));
    gst_buffer_unmap(buffer, &map);
    gst_buffer_unref(buffer);
    if (result != GST_FLOW_OK) return result;
  } while (!once);
  return GST_FLOW_OK;
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
  if (result == GST_FLOW_EOS) result = GST_FLOW_OK;  // an empty file: refused below
  if (result != GST_FLOW_OK) return result;
  GstMapInfo map = GST_MAP_INFO_INIT;
  if (buffer) gst_buffer_map(buffer, &map, GST_MAP_READ);
  const bool taken = state.stream.TakeHeader(recorder::ByteSpan(map.data, map.size));
  if (buffer) {
    gst_buffer_unmap(buffer, &map);
    gst_buffer_unref(buffer);
  }
  state.offset = recorder::kFileHeaderSize;
  return taken ? GST_FLOW_OK : GST_FLOW_ERROR;
}

GstFlowReturn BuildIndex(GstQrlDemux* demux) {
  DemuxState& state = *demux->state;
  IndexBuilder builder(state.stream.Header().systemType, recorder::kFileHeaderSize);
  guint64 offset = recorder::kFileHeaderSize;
  const GstFlowReturn result = PullPieces(
      demux, offset,
      [&](recorder::ByteSpan bytes) {
        builder.Feed(bytes);
        return GST_FLOW_OK;
      },
      false);
  if (result != GST_FLOW_EOS) return result;
  state.index = builder.Finish();
  const GstClockTime duration =
      static_cast<GstClockTime>(state.index->Duration()) * kDemuxNanosecondsPerUnit;
  GstSegment segment = state.stream.Segment();
  segment.duration = duration;
  state.stream.SetSegment(segment, GST_SEQNUM_INVALID);
  GST_OBJECT_LOCK(demux);
  demux->duration = duration;
  GST_OBJECT_UNLOCK(demux);
  GST_INFO_OBJECT(demux, "indexed %zu groups, duration %" GST_TIME_FORMAT,
                  state.index->Entries().size(), GST_TIME_ARGS(duration));
  gst_element_post_message(GST_ELEMENT(demux),
                           gst_message_new_duration_changed(GST_OBJECT(demux)));
  return GST_FLOW_OK;
}

void PauseOnFlow(GstQrlDemux* demux, GstFlowReturn result) {
  GST_DEBUG_OBJECT(demux, "pausing: %s", gst_flow_get_name(result));
  gst_pad_pause_task(demux->sinkpad);
  DemuxStream& stream = demux->state->stream;
  const GstSegment& segment = stream.Segment();
  if (result == GST_FLOW_EOS && (segment.flags & GST_SEGMENT_FLAG_SEGMENT)) {
    const gint64 stop = static_cast<gint64>(GST_CLOCK_TIME_IS_VALID(segment.stop) ? segment.stop
                                                                                 : segment.duration);
    gst_element_post_message(GST_ELEMENT(demux), gst_message_new_segment_done(
                                                     GST_OBJECT(demux), GST_FORMAT_TIME, stop));
    stream.Outputs().PushEvent(gst_event_new_segment_done(GST_FORMAT_TIME, stop));
  } else if (result == GST_FLOW_EOS) {
    stream.Finish(GST_SEQNUM_INVALID);
  } else if ((result == GST_FLOW_NOT_LINKED || result < GST_FLOW_EOS) &&
             stream.Outputs().Created()) {
    // Errors before the pads exist (not a recorder stream, no known coding) are posted already.
    GST_ELEMENT_FLOW_ERROR(demux, result);
    stream.Outputs().PushEvent(gst_event_new_eos());
  }
}

const IndexEntry* SeekTarget(const RecorderIndex& index, GstSeekFlags flags, int64_t time) {
  const bool before = (flags & GST_SEEK_FLAG_SNAP_BEFORE) != 0;
  const bool after = (flags & GST_SEEK_FLAG_SNAP_AFTER) != 0;
  if (after && !before) return index.KeyAfter(time);
  if (after && before) return index.KeyNearest(time);
  return index.KeyBefore(time);
}

// Moves reading to the key group the seek asks for; false when there is none.
bool SeekIndex(DemuxState& state, const GstEvent* event, GstSeekFlags flags) {
  gdouble rate;
  GstFormat format;
  GstSeekType startType, stopType;
  gint64 start, stop;
  gst_event_parse_seek(const_cast<GstEvent*>(event), &rate, &format, nullptr, &startType, &start,
                       &stopType, &stop);
  GstSegment segment = state.stream.Segment();
  gboolean update;
  gst_segment_do_seek(&segment, rate, format, flags, startType, static_cast<guint64>(start),
                      stopType, static_cast<guint64>(stop), &update);
  const IndexEntry* entry = SeekTarget(
      *state.index, flags, static_cast<int64_t>(segment.position / kDemuxNanosecondsPerUnit));
  if (!entry) return false;
  const GstClockTime keyTime = static_cast<GstClockTime>(entry->time) * kDemuxNanosecondsPerUnit;
  // A key-unit seek starts where the key group does; an accurate one decodes from it but shows
  // frames from the target on.
  if (flags & GST_SEEK_FLAG_KEY_UNIT) segment.start = segment.time = keyTime;
  segment.position = keyTime;
  state.stream.SetSegment(segment, gst_event_get_seqnum(const_cast<GstEvent*>(event)));
  state.stream.RestartAt(entry->offset, keyTime);
  state.offset = entry->offset;
  return true;
}

void PushFlush(GstQrlDemux* demux, GstEvent* event, guint32 seqnum) {
  gst_event_set_seqnum(event, seqnum);
  gst_pad_push_event(demux->sinkpad, gst_event_ref(event));
  demux->state->stream.Outputs().PushEvent(event);
}

}  // namespace

void PullLoop(gpointer sinkpad) {
  GstQrlDemux* demux = GST_QRL_DEMUX(GST_PAD_PARENT(static_cast<GstPad*>(sinkpad)));
  DemuxState& state = *demux->state;
  GstFlowReturn result = GST_FLOW_OK;
  if (!state.stream.HasHeader()) result = PullHeader(demux);
  if (result == GST_FLOW_OK && !state.index) result = BuildIndex(demux);
  if (result == GST_FLOW_OK) {
    result = PullPieces(
        demux, state.offset, [&](recorder::ByteSpan bytes) { return state.stream.Feed(bytes); },
        true);
  }
  if (result != GST_FLOW_OK) PauseOnFlow(demux, result);
}

gboolean PerformSeek(GstQrlDemux* demux, GstEvent* event) {
  gdouble rate;
  GstFormat format;
  GstSeekFlags flags;
  gst_event_parse_seek(event, &rate, &format, &flags, nullptr, nullptr, nullptr, nullptr);
  if (format != GST_FORMAT_TIME || rate <= 0) {
    GST_DEBUG_OBJECT(demux, "only forward seeks in time are supported");
    return FALSE;
  }
  const guint32 seqnum = gst_event_get_seqnum(event);
  const bool flush = (flags & GST_SEEK_FLAG_FLUSH) != 0;
  // Flushing wakes the streaming thread wherever it waits, so the stream lock comes free.
  if (flush)
    PushFlush(demux, gst_event_new_flush_start(), seqnum);
  else
    gst_pad_pause_task(demux->sinkpad);
  GST_PAD_STREAM_LOCK(demux->sinkpad);
  DemuxState& state = *demux->state;
  const bool done = state.index && SeekIndex(state, event, flags);
  if (flush) PushFlush(demux, gst_event_new_flush_stop(TRUE), seqnum);
  if (done && (state.stream.Segment().flags & GST_SEGMENT_FLAG_SEGMENT)) {
    gst_element_post_message(
        GST_ELEMENT(demux),
        gst_message_new_segment_start(GST_OBJECT(demux), GST_FORMAT_TIME,
                                      static_cast<gint64>(state.stream.Segment().position)));
  }
  gst_pad_start_task(demux->sinkpad, PullLoop, demux->sinkpad, nullptr);
  GST_PAD_STREAM_UNLOCK(demux->sinkpad);
  return done;
}

}  // namespace recastgst
