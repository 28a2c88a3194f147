// SourceStreamer: the file source's streaming thread. It reads the file from a group on,
// decides group by group what is delivered and when (GroupTiming), and pushes the samples on
// both output pins in the order of their start times, so that renderers waiting for their
// times on one thread never hold up each other's stream. At the end of the file, or at the
// stop position, it delivers end of stream on every connected pin. A run that cannot read the
// file, or whose samples downstream fails, ends with EC_ERRORABORT and that error instead:
// an end of stream would have the sinks report a complete conversion of a part of the file.
//
// Commands (CAMThread): Play starts a run over the range given to it; Stop ends the run in
// progress (the thread then waits); Exit ends the thread. The thread looks for a command
// between groups; a state change first decommits the allocators and flushes or stops the
// filters downstream, so a thread waiting for a buffer or in Deliver returns to look.
#pragma once

#include <memory>

#include "AMThread.h"
#include "FileIndex.h"
#include "GroupReader.h"
#include "GroupTiming.h"
#include "SourcePin.h"

namespace vendor {

// Where a run starts and ends, in the file's time.
struct PlayRange {
  size_t firstGroup = 0;            // index into FileIndex::Groups()
  REFERENCE_TIME segmentStart = 0;  // the file time of stream time 0: the first group's time
  REFERENCE_TIME stop = 0;          // no group starting at or after it is delivered
};

class SourceStreamer final : public CAMThread {
 public:
  enum Command : DWORD { kPlay, kStop, kExit };

  SourceStreamer(SourcePin& video, SourcePin& audio);
  ~SourceStreamer() override;

  // Before the thread starts: the loaded file (kept by the filter while the thread lives)
  // and the reader buffer. E_OUTOFMEMORY when the buffer cannot be had.
  [[nodiscard]] HRESULT Prepare(const FileIndex& index);

  // Starts the thread if needed and a run over `range`.
  [[nodiscard]] HRESULT Play(const PlayRange& range);
  // Ends the run in progress, if any; the thread stays.
  void StopRun();
  // Ends the thread.
  void Exit();

 private:
  // One output during a run.
  struct Output {
    SourcePin* pin = nullptr;
    bool live = false;           // connected and not refused yet in this run
    bool discontinuity = false;  // the next sample is the first of the run
  };

  // Why the run in progress ended early; S_OK while it did not.
  HRESULT error_ = S_OK;

  DWORD ThreadProc() override;
  void Run(const PlayRange& range);
  void DeliverGroup(const recorder::GroupView& group, const GroupTimes& times);
  void DeliverVideo(const recorder::GroupView& group, uint32_t index, REFERENCE_TIME start,
                    REFERENCE_TIME stop);
  void DeliverAudio(const recorder::BlockView& block, REFERENCE_TIME start);
  // An empty sample of `output`, or nullptr (the output is then dead for this run).
  IMediaSample* GetSample(Output& output);
  void Send(Output& output, IMediaSample* sample, REFERENCE_TIME start, REFERENCE_TIME stop);
  void EndRun();

  Output video_;
  Output audio_;
  const FileIndex* index_ = nullptr;  // set by Prepare while the thread does not exist
  std::unique_ptr<GroupReader> reader_;  // used by the thread only
  PlayRange next_;  // written by Play before the command, read by the thread on receiving it
};

}  // namespace vendor
