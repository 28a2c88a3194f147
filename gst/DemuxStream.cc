#include "DemuxStream.h"

#include "GroupPackets.h"
#include "RecorderCaps.h"

namespace recastgst {
namespace {

// Recorder times count 100 ns units.
constexpr GstClockTime kNanosecondsPerUnit = 100;

}  // namespace

DemuxStream::DemuxStream(GstElement* element, const PadHandlers& handlers)
    : element_(element), handlers_(handlers), outputs_(element) {
  gst_segment_init(&segment_, GST_FORMAT_TIME);
}

bool DemuxStream::TakeHeader(recorder::ByteSpan bytes) {
  const auto header = recorder::ParseFileHeader(bytes);
  if (!header || !recorder::IsRecorderMagic(header->magic)) {
    GST_ELEMENT_ERROR(element_, STREAM, WRONG_TYPE, ("Not a recorder stream."),
                      ("no recorder magic in the stream header"));
    return false;
  }
  header_ = header;
  timing_ = std::make_unique<vendor::GroupTiming>(header->systemType);
  RestartAt(recorder::kFileHeaderSize, 0);
  return true;
}

void DemuxStream::RestartAt(uint64_t offset, GstClockTime base) {
  scanner_.Restart(offset);
  if (timing_) timing_->Reset();
  base_ = base;
}

void DemuxStream::SetSegment(const GstSegment& segment, guint32 seqnum) {
  segment_ = segment;
  outputs_.SetSegment(segment_, seqnum);
}

GstFlowReturn DemuxStream::Feed(recorder::ByteSpan bytes) {
  scanner_.Push(bytes);
  while (const std::optional<recorder::StreamGroup> group = scanner_.Next()) {
    const GstFlowReturn result = Deliver(*group);
    if (result != GST_FLOW_OK) return result;
  }
  return GST_FLOW_OK;
}

GstFlowReturn DemuxStream::Deliver(const recorder::StreamGroup& group) {
  vendor::GroupTimes times;
  if (!timing_->Accept(group.view, group.afterDamage, times)) return GST_FLOW_OK;
  if (!outputs_.Created()) {
    if (!outputs_.Create(*header_, group.view.header, handlers_)) {
      GST_ELEMENT_ERROR(element_, STREAM, CODEC_NOT_FOUND, ("No stream in a known coding."),
                        ("magic %08x, audio code %#x", header_->magic, header_->audioCodec));
      return GST_FLOW_ERROR;
    }
    outputs_.SetSegment(segment_, GST_SEQNUM_INVALID);
  }
  if (group.afterDamage) outputs_.MarkDiscontinuity();
  const GstClockTime start = base_ + static_cast<GstClockTime>(times.Start()) * kNanosecondsPerUnit;
  if (GST_CLOCK_TIME_IS_VALID(segment_.stop) && start >= segment_.stop) return GST_FLOW_EOS;
  segment_.position = start;
  const bool key = vendor::GroupTiming::MayResumeAt(group.view.header, header_->systemType);
  for (const Packet& packet : PacketsOf(group.view, times, key)) {
    const GstFlowReturn result = outputs_.Push(packet, base_);
    if (result != GST_FLOW_OK) return result;
  }
  return GST_FLOW_OK;
}

void DemuxStream::Finish(guint32 seqnum) {
  if (!outputs_.Created()) {
    GST_ELEMENT_ERROR(element_, STREAM, DEMUX, ("The recording holds no playable group."),
                      ("end of stream before the first group"));
    return;
  }
  GstEvent* eos = gst_event_new_eos();
  if (seqnum != GST_SEQNUM_INVALID) gst_event_set_seqnum(eos, seqnum);
  outputs_.PushEvent(eos);
}

}  // namespace recastgst
