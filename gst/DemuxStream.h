// DemuxStream: the part of qrldemux that turns recorder bytes into samples, whichever way the
// bytes arrive (pulled from a file or pushed by a source). It takes the FileHeader, finds the
// groups, decides by the format's timing rules which are delivered and when, creates the
// output pads with the first delivered group and pushes each group's samples.
//
// Used on the streaming thread, or by a seek that holds the sink pad's stream lock.
#pragma once

#include <gst/gst.h>

#include <memory>
#include <optional>

#include "DemuxOutputs.h"
#include "recorder/GroupStreamReader.h"
#include "GroupTiming.h"

namespace recastgst {

class DemuxStream {
 public:
  DemuxStream(GstElement* element, const PadHandlers& handlers);

  // Takes the stream's FileHeader and starts reading at the first group (the file time 0).
  // False, with an error posted, when it is not a recorder stream.
  [[nodiscard]] bool TakeHeader(recorder::ByteSpan bytes);
  bool HasHeader() const { return header_.has_value(); }
  const recorder::FileHeader& Header() const { return *header_; }

  // Reading goes on from the group at `offset`, whose samples play from `base` (nanoseconds):
  // unsynchronised, so delivery starts at a group where decoding may resume.
  void RestartAt(uint64_t offset, GstClockTime base);
  // The samples from the next delivered group on play from `base` (nanoseconds).
  void SetBase(GstClockTime base) { base_ = base; }
  uint64_t EndOffset() const { return scanner_.EndOffset(); }

  // The next bytes of the stream; delivers every group they complete. GST_FLOW_EOS once a
  // group starts at or after the segment's stop.
  [[nodiscard]] GstFlowReturn Feed(recorder::ByteSpan bytes);

  // The end of the data: end of stream on every pad, or an error when nothing could be played.
  void Finish(guint32 seqnum);

  // The segment the samples go out in; SetSegment sends it before the next sample.
  const GstSegment& Segment() const { return segment_; }
  void SetSegment(const GstSegment& segment, guint32 seqnum);

  DemuxOutputs& Outputs() { return outputs_; }

 private:
  GstFlowReturn Deliver(const recorder::StreamGroup& group);

  GstElement* const element_;
  const PadHandlers handlers_;
  std::optional<recorder::FileHeader> header_;
  recorder::GroupStreamReader scanner_;
  std::unique_ptr<vendor::GroupTiming> timing_;
  DemuxOutputs outputs_;
  GstSegment segment_;
  GstClockTime base_ = 0;
};

}  // namespace recastgst
