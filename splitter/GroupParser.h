// GroupParser: the splitter's input side. It takes the recorder stream in pushed samples of
// any size, finds and completes groups (a group cut between samples waits in the assembly
// buffer), regains synchronisation after damage at a group where decoding can resume, and
// hands every accepted group to the SampleAssembler.
//
// Complete groups are parsed in place in the pushed sample; only a group that spans samples
// is copied, into the assembly buffer. Nothing is allocated while streaming.
//
// Threads: Receive runs on the upstream streaming thread, one call at a time. Reset comes
// from the thread that changes the filter's state, before that change, and must not wait for
// a Receive that may be blocked downstream (in GetDeliveryBuffer until the base class
// decommits the allocators). So Receive holds `streamLock_`; Reset applies itself under that
// lock when it can take it at once and otherwise leaves `resetPending_`, which the next
// Receive applies before it looks at any byte. SetStreamFormat is called while no data flows.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "SampleAssembler.h"
#include "SampleOutput.h"
#include "recorder/StreamFormat.h"

namespace splitter {

class GroupParser {
 public:
  static constexpr size_t kAssemblyCapacity = 1'024'000;  // the largest group that can span samples
  static constexpr size_t kAppendChunk = 512;  // the smallest step a pending group grows by

  // Allocates the assembly buffer; E_OUTOFMEMORY when it cannot be had.
  [[nodiscard]] static HRESULT Create(SampleOutput& video, SampleOutput& audio,
                                      std::unique_ptr<GroupParser>& parser);

  // The connection's FileHeader: its systemType decides where the parser may resume, its
  // audio codec the silence filler. Never waits for a Receive: the next one picks it up.
  void SetStreamFormat(const recorder::FileHeader& header);

  // One pushed sample. E_FAIL for an empty sample; otherwise the status of the last step
  // that ran (damaged data is never an error).
  [[nodiscard]] HRESULT Receive(const uint8_t* data, long length);

  // Back to the start of a stream: no pending group, resynchronise, silence first, both
  // clocks at 0. Used by construction and by every Stop and Pause.
  void Reset();

  // Start time of the next video sample (0 while a reset is pending).
  REFERENCE_TIME VideoClock() const;

 private:
  enum class Resume { Reject, Accept, AcceptWithSilence };
  // How a pending group fares as new bytes are appended to it.
  enum class Growth { Waiting, Overflow, NotAGroup, Invalid, Complete };

  GroupParser(SampleOutput& video, SampleOutput& audio, std::unique_ptr<uint8_t[]> buffer);

  void ResetLocked();
  HRESULT ProcessDataInTemp(const uint8_t* data, size_t length, const uint8_t*& cursor);
  HRESULT ProcessData(const uint8_t* cursor, const uint8_t* end);
  // Appends the head of `data` to the pending group until it completes, proves to be no
  // group, or fills the buffer; `consumed` counts the bytes taken.
  Growth GrowPendingGroup(const uint8_t* data, size_t length, size_t& consumed,
                          recorder::GroupView& group);
  HRESULT RescanPending();
  HRESULT StashPartialGroup(const uint8_t* start, const uint8_t* end);
  void KeepStartCodeTail(const uint8_t* cursor, const uint8_t* end);
  Resume ResumeTest(const recorder::GroupHeader& header) const;
  // While resynchronising: whether `header` may be delivered (and leave resync if so).
  bool MayDeliver(const recorder::GroupHeader& header);

  std::mutex streamLock_;  // held by Receive; guards every member below but resetPending_
  std::atomic<bool> resetPending_{false};
  SampleAssembler assembler_;
  std::unique_ptr<uint8_t[]> assembly_;  // the start of a group that continues later
  size_t fill_ = 0;                      // bytes in assembly_; 0: no group pending
  bool resync_ = true;
  // The stream format, from the application's thread; Receive applies the codec itself.
  std::atomic<uint16_t> systemType_{0};
  std::atomic<uint32_t> audioCodec_{recorder::kAudioAdpcm};
  uint32_t appliedCodec_ = recorder::kAudioAdpcm;  // the assembler's codec
};

}  // namespace splitter
