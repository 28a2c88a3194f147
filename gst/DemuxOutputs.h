// DemuxOutputs: the source pads of qrldemux and what goes out on them. It creates the pads the
// FileHeader announces, sends each its stream start, caps, tags and segment before the first
// sample, turns packets into stamped buffers and folds the pads' flow results into one.
//
// Used on the streaming thread only, except Remove (state change, after streaming stopped).
#pragma once

#include <gst/base/gstflowcombiner.h>
#include <gst/gst.h>

#include "GroupPackets.h"
#include "recorder/StreamFormat.h"

namespace recastgst {

struct PadHandlers {
  GstPadEventFunction event = nullptr;
  GstPadQueryFunction query = nullptr;
};

class DemuxOutputs {
 public:
  explicit DemuxOutputs(GstElement* element);
  ~DemuxOutputs();
  DemuxOutputs(const DemuxOutputs&) = delete;
  DemuxOutputs& operator=(const DemuxOutputs&) = delete;

  bool Created() const { return video_.pad || audio_.pad; }

  // Adds the pads for the streams the header announces in codings we know, with the frame
  // rate of the first group, and signals that no more will come. False when there is none.
  bool Create(const recorder::FileHeader& header, const recorder::GroupHeader& firstGroup,
              const PadHandlers& handlers);

  // Removes the pads (back to the initial state).
  void Remove();

  // The segment every pad sends before its next buffer; every pad's next buffer is marked as a
  // discontinuity.
  void SetSegment(const GstSegment& segment, guint32 seqnum);

  // Marks the next buffer of every pad as a discontinuity (data was lost before it).
  void MarkDiscontinuity();

  // Sends the packet (stamped `base` + its start, in nanoseconds) on its stream's pad; packets
  // of a stream without a pad are dropped. The combined flow result of all pads.
  GstFlowReturn Push(const Packet& packet, GstClockTime base);

  // Sends the event to every pad; takes ownership. False when no pad took it.
  bool PushEvent(GstEvent* event);

 private:
  struct Output {
    GstPad* pad = nullptr;
    bool needSegment = true;
    bool discont = true;
  };

  GstPad* AddPad(const char* name, GstCaps* caps, GstTagList* tags, const PadHandlers& handlers);
  void SendPendingEvents(Output& output);

  GstElement* const element_;
  GstFlowCombiner* const flows_;
  Output video_;
  Output audio_;
  GstSegment segment_;
  guint32 seqnum_ = GST_SEQNUM_INVALID;
  guint groupId_ = 0;
};

}  // namespace recastgst
