#include "DemuxOutputs.h"

#include <gst/pbutils/pbutils.h>

#include "RecorderCaps.h"

namespace recastgst {
namespace {

constexpr const char* kContainerName = "Recorder stream";
// Recorder times count 100 ns units.
constexpr GstClockTime kNanosecondsPerUnit = 100;

GstTagList* TagsFor(const char* codecTag, GstCaps* caps) {
  GstTagList* tags = gst_tag_list_new(GST_TAG_CONTAINER_FORMAT, kContainerName, nullptr);
  gst_pb_utils_add_codec_description_to_tag_list(tags, codecTag, caps);
  return tags;
}

}  // namespace

DemuxOutputs::DemuxOutputs(GstElement* element)
    : element_(element), flows_(gst_flow_combiner_new()) {
  gst_segment_init(&segment_, GST_FORMAT_TIME);
}

DemuxOutputs::~DemuxOutputs() { gst_flow_combiner_free(flows_); }

bool DemuxOutputs::Create(const recorder::FileHeader& header,
                          const recorder::GroupHeader& firstGroup, const PadHandlers& handlers) {
  groupId_ = gst_util_group_id_next();
  if (header.systemType != recorder::kSystemAudio) {
    if (GstCaps* caps = VideoCapsFor(header, firstGroup))
      video_.pad = AddPad("video", caps, TagsFor(GST_TAG_VIDEO_CODEC, caps), handlers);
  }
  if (header.systemType != recorder::kSystemVideo) {
    if (GstCaps* caps = AudioCapsFor(header))
      audio_.pad = AddPad("audio", caps, TagsFor(GST_TAG_AUDIO_CODEC, caps), handlers);
  }
  if (!Created()) return false;
  gst_element_no_more_pads(element_);
  return true;
}

GstPad* DemuxOutputs::AddPad(const char* name, GstCaps* caps, GstTagList* tags,
                             const PadHandlers& handlers) {
  GstPad* pad = gst_pad_new_from_template(gst_element_get_pad_template(element_, name), name);
  gst_pad_set_event_function(pad, handlers.event);
  gst_pad_set_query_function(pad, handlers.query);
  gst_pad_use_fixed_caps(pad);
  gst_pad_set_active(pad, TRUE);
  gchar* streamId = gst_pad_create_stream_id(pad, element_, name);
  GstEvent* start = gst_event_new_stream_start(streamId);
  g_free(streamId);
  gst_event_set_group_id(start, groupId_);
  // Sticky events are stored on the pad now and sent with its first buffer.
  gst_pad_store_sticky_event(pad, start);
  gst_event_unref(start);
  GstEvent* capsEvent = gst_event_new_caps(caps);
  gst_pad_store_sticky_event(pad, capsEvent);
  gst_event_unref(capsEvent);
  gst_caps_unref(caps);
  GstEvent* tagEvent = gst_event_new_tag(tags);
  gst_pad_store_sticky_event(pad, tagEvent);
  gst_event_unref(tagEvent);
  gst_element_add_pad(element_, pad);
  gst_flow_combiner_add_pad(flows_, pad);
  return pad;
}

void DemuxOutputs::Remove() {
  for (Output* output : {&video_, &audio_}) {
    if (!output->pad) continue;
    gst_flow_combiner_remove_pad(flows_, output->pad);
    gst_element_remove_pad(element_, output->pad);
    *output = Output();
  }
  gst_segment_init(&segment_, GST_FORMAT_TIME);
  seqnum_ = GST_SEQNUM_INVALID;
}

void DemuxOutputs::SetSegment(const GstSegment& segment, guint32 seqnum) {
  segment_ = segment;
  seqnum_ = seqnum;
  for (Output* output : {&video_, &audio_}) {
    output->needSegment = true;
    output->discont = true;
  }
  gst_flow_combiner_reset(flows_);
}

void DemuxOutputs::MarkDiscontinuity() {
  video_.discont = true;
  audio_.discont = true;
}

void DemuxOutputs::SendPendingEvents(Output& output) {
  if (!output.needSegment) return;
  GstEvent* event = gst_event_new_segment(&segment_);
  if (seqnum_ != GST_SEQNUM_INVALID) gst_event_set_seqnum(event, seqnum_);
  gst_pad_push_event(output.pad, event);
  output.needSegment = false;
}

GstFlowReturn DemuxOutputs::Push(const Packet& packet, GstClockTime base) {
  Output& output = packet.kind == StreamKind::Video ? video_ : audio_;
  if (!output.pad) return GST_FLOW_OK;
  SendPendingEvents(output);
  GstBuffer* buffer = gst_buffer_new_memdup(packet.data, packet.size);
  const GstClockTime start = base + static_cast<GstClockTime>(packet.start) * kNanosecondsPerUnit;
  GST_BUFFER_PTS(buffer) = start;
  GST_BUFFER_DTS(buffer) = start;
  GST_BUFFER_DURATION(buffer) = static_cast<GstClockTime>(packet.duration) * kNanosecondsPerUnit;
  if (packet.kind == StreamKind::Video && !packet.key)
    GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT);
  if (output.discont) {
    GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
    output.discont = false;
  }
  const GstFlowReturn result = gst_pad_push(output.pad, buffer);
  return gst_flow_combiner_update_pad_flow(flows_, output.pad, result);
}

bool DemuxOutputs::PushEvent(GstEvent* event) {
  bool taken = false;
  for (Output* output : {&video_, &audio_}) {
    if (!output->pad) continue;
    if (GST_EVENT_TYPE(event) == GST_EVENT_EOS) SendPendingEvents(*output);
    taken |= gst_pad_push_event(output->pad, gst_event_ref(event)) != FALSE;
  }
  gst_event_unref(event);
  return taken;
}

}  // namespace recastgst
