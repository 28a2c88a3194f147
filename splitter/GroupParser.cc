#include "GroupParser.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "DebugOutput.h"
#include "recorder/Trace.h"

namespace splitter {

using recorder::GroupView;
using recorder::ParseResult;
using recorder::Trace;

namespace {

// The first position from `cursor` with at least 5 bytes before `end` that starts a group,
// or nullptr. Candidates are found by their first byte, 01.
const uint8_t* FindGroupStart(const uint8_t* cursor, const uint8_t* end) {
  constexpr size_t kMinimumStart = 5;
  while (end - cursor >= static_cast<ptrdiff_t>(kMinimumStart)) {
    const size_t span = static_cast<size_t>(end - cursor) - (kMinimumStart - 1);
    const auto* candidate = static_cast<const uint8_t*>(std::memchr(cursor, 0x01, span));
    if (!candidate) return nullptr;
    if (recorder::IsGroupStart(candidate, static_cast<size_t>(end - candidate))) return candidate;
    cursor = candidate + 1;
  }
  return nullptr;
}

}  // namespace

HRESULT GroupParser::Create(SampleOutput& video, SampleOutput& audio,
                            std::unique_ptr<GroupParser>& parser) {
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kAssemblyCapacity]);
  if (!buffer) return E_OUTOFMEMORY;
  parser.reset(new (std::nothrow) GroupParser(video, audio, std::move(buffer)));
  return parser ? S_OK : E_OUTOFMEMORY;
}

GroupParser::GroupParser(SampleOutput& video, SampleOutput& audio,
                         std::unique_ptr<uint8_t[]> buffer)
    : assembler_(video, audio), assembly_(std::move(buffer)) {
  Reset();
}

void GroupParser::SetStreamFormat(const recorder::FileHeader& header) {
  systemType_ = header.systemType;
  audioCodec_ = recorder::NormaliseAudioCodec(header.audioCodec);
}

void GroupParser::Reset() {
  std::unique_lock lock(streamLock_, std::try_to_lock);
  if (lock.owns_lock()) {
    ResetLocked();
  } else {
    resetPending_ = true;
  }
}

void GroupParser::ResetLocked() {
  resetPending_ = false;
  fill_ = 0;
  resync_ = true;
  assembler_.Reset();
}

REFERENCE_TIME GroupParser::VideoClock() const {
  return resetPending_ ? 0 : assembler_.VideoClock();
}

HRESULT GroupParser::Receive(const uint8_t* data, long length) {
  std::lock_guard lock(streamLock_);
  if (resetPending_) ResetLocked();
  if (const uint32_t codec = audioCodec_; codec != appliedCodec_) {
    assembler_.SetAudioCodec(codec);
    appliedCodec_ = codec;
  }
  Trace("Receive Sample");
  if (!data || length <= 0) return E_FAIL;
  HRESULT status = E_FAIL;
  const uint8_t* cursor = data;
  const uint8_t* end = data + length;
  try {
    while (fill_ > 0 && cursor < end) {
      const uint8_t* from = cursor;
      status = ProcessDataInTemp(from, static_cast<size_t>(end - from), cursor);
    }
    if (fill_ == 0 && cursor < end && !assembler_.DownstreamFailed())
      status = ProcessData(cursor, end);
  } catch (...) {
    Trace("EXCEPTION_EXECUTE_HANDLER");
    fill_ = 0;
  }
  // A downstream that failed a delivery is told upstream, so a push source stops; a fault of
  // the parsing itself stays here.
  const HRESULT downstream = assembler_.TakeDownstreamError();
  return FAILED(downstream) ? downstream : status;
}

HRESULT GroupParser::ProcessDataInTemp(const uint8_t* data, size_t length,
                                       const uint8_t*& cursor) {
  Trace("Enter ProcessDataInTemp");
  size_t consumed = 0;
  GroupView group;
  switch (GrowPendingGroup(data, length, consumed, group)) {
    case Growth::Waiting:
      cursor = data + consumed;  // all of it waits in the assembly buffer
      return S_OK;
    case Growth::Overflow:
      // The group can never be completed; the new sample is searched anew from its start.
      Trace("Splitter : 临时缓冲满");
      fill_ = 0;
      resync_ = true;
      return S_OK;
    case Growth::Invalid:
      resync_ = true;
      [[fallthrough]];
    case Growth::NotAGroup:
      cursor = data + consumed;
      return RescanPending();
    case Growth::Complete:
      break;
  }
  // Hand back the bytes appended after the group's end.
  cursor = data + consumed - (fill_ - group.Size());
  fill_ = 0;
  if (!MayDeliver(group.header)) {
    Trace("ProcessDataInTemp OK");
    return S_OK;
  }
  return assembler_.ProcessGroup(group);
}

GroupParser::Growth GroupParser::GrowPendingGroup(const uint8_t* data, size_t length,
                                                  size_t& consumed, GroupView& group) {
  uint8_t* buffer = assembly_.get();
  size_t needed = 0;  // the group size the pending bytes call for at least
  while (fill_ < kAssemblyCapacity && consumed < length) {
    // Up to where the group can end, at least kAppendChunk: one parse per step, and no
    // byte appended that the group cannot hold unless the step is a short one.
    const size_t step = std::max(kAppendChunk, needed > fill_ ? needed - fill_ : 0);
    const size_t n = std::min({step, kAssemblyCapacity - fill_, length - consumed});
    std::memcpy(buffer + fill_, data + consumed, n);
    consumed += n;
    fill_ += n;
    if (!recorder::CouldBeGroupStart(buffer, std::min<size_t>(fill_, 4)))
      OutputDebugStringA("Splitter : wrong start code");
    // A start kept while it could not yet be tested in full (a start code cut within its
    // first 8 bytes) may prove to be none once the next bytes arrive.
    if (!recorder::CouldBeGroupStart(buffer, fill_)) return Growth::NotAGroup;
    switch (recorder::ParseGroup(buffer, buffer + fill_, group, &needed)) {
      case ParseResult::Complete: return Growth::Complete;
      case ParseResult::Invalid: return Growth::Invalid;
      case ParseResult::Incomplete: break;
    }
  }
  return fill_ == kAssemblyCapacity ? Growth::Overflow : Growth::Waiting;
}

// The pending bytes did not form a group. Only their first byte is known to be no group
// start: the rest is stream data like any other, so it is searched again in place (groups
// found there are delivered from the buffer; a partial one at its end moves to the front).
HRESULT GroupParser::RescanPending() {
  const size_t size = fill_;
  fill_ = 0;
  return ProcessData(assembly_.get() + 1, assembly_.get() + size);
}

HRESULT GroupParser::ProcessData(const uint8_t* cursor, const uint8_t* end) {
  Trace("Enter ProcessData");
  while (cursor < end) {
    const uint8_t* start = FindGroupStart(cursor, end);
    if (!start) {
      Trace("ProcessData:fail to search next group!\n");
      KeepStartCodeTail(cursor, end);
      return S_OK;
    }
    Trace("ProcessData:search next group ok!\n");
    cursor = start;
    GroupView group;
    switch (recorder::ParseGroup(cursor, end, group)) {
      case ParseResult::Incomplete:
        return StashPartialGroup(cursor, end);
      case ParseResult::Invalid:
        // Only this group is unusable: search on from the byte after its start, so the good
        // groups behind it in the same sample are not lost.
        resync_ = true;
        fill_ = 0;
        Trace("ProcessData:Splitter : process fails!");
        ++cursor;
        break;
      case ParseResult::Complete:
        cursor = group.end;
        if (!MayDeliver(group.header)) continue;
        if (assembler_.ProcessGroup(group) != S_OK)
          Trace("ProcessData:Failed to process group!!\n");
        if (assembler_.DownstreamFailed()) return S_OK;  // the rest would fail the same way
        break;
    }
  }
  Trace("ProcessData OK!");
  return S_OK;
}

HRESULT GroupParser::StashPartialGroup(const uint8_t* start, const uint8_t* end) {
  const size_t size = static_cast<size_t>(end - start);
  if (size > kAssemblyCapacity - fill_) {
    Trace("ProcessData:Splitter : Buf is over!");
    fill_ = 0;
    resync_ = true;
    return S_OK;
  }
  std::memmove(assembly_.get(), start, size);  // may come from the buffer itself
  fill_ = size;
  return S_OK;
}

// The search tests only positions with 5 bytes after them, so a start code cut within its
// first 4 bytes would be lost, and with it the whole group. Such a tail waits as a pending
// group instead, so a stream cut anywhere yields the samples of the uncut stream.
void GroupParser::KeepStartCodeTail(const uint8_t* cursor, const uint8_t* end) {
  constexpr ptrdiff_t kUntestedTail = 4;
  for (const uint8_t* p = std::max(cursor, end - kUntestedTail); p < end; ++p) {
    const size_t size = static_cast<size_t>(end - p);
    if (recorder::CouldBeGroupStart(p, size)) {
      std::memmove(assembly_.get(), p, size);
      fill_ = size;
      return;
    }
  }
}

bool GroupParser::MayDeliver(const recorder::GroupHeader& header) {
  if (!resync_) return true;
  const Resume resume = ResumeTest(header);
  if (resume == Resume::Reject) return false;
  resync_ = false;
  if (resume == Resume::AcceptWithSilence) assembler_.RequestSilence();
  return true;
}

GroupParser::Resume GroupParser::ResumeTest(const recorder::GroupHeader& header) const {
  switch (systemType_) {
    case recorder::kSystemVideo:
      return header.IsResumePoint() ? Resume::Accept : Resume::Reject;
    case recorder::kSystemAudio:
      return header.HasAudio() ? Resume::Accept : Resume::Reject;
    case recorder::kSystemVideoAudio:
      Trace("Multi");
      if (header.HasAudio())
        return header.frameType == recorder::kFrameTypeKey ? Resume::Accept : Resume::Reject;
      return header.IsResumePoint() ? Resume::AcceptWithSilence : Resume::Reject;
    default:
      Trace("Splitter : Unknow Stream Type");
      return Resume::Reject;
  }
}

}  // namespace splitter
