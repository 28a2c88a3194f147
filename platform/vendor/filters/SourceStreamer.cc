#include "SourceStreamer.h"

#include <cstdio>
#include <cstring>

#include "DebugOutput.h"
#include "recorder/RecorderMediaTypes.h"

namespace vendor {

using namespace recorder;

namespace {

constexpr double kNormalRate = 1.0;
constexpr LONG ERROR_READ_FAULT = 30;  // the Win32 code for a device that cannot be read

// Walks the blocks of one kind in a complete group, in group order.
class BlockCursor {
 public:
  BlockCursor(const GroupView& group, bool (*matches)(uint16_t))
      : cursor_(group.firstBlock), end_(group.end), matches_(matches) {}

  std::optional<BlockView> Next() {
    while (cursor_ < end_) {
      BlockView block;
      if (ParseBlock(cursor_, end_, block) != ParseResult::Complete) return std::nullopt;
      cursor_ = block.end;
      if (matches_(block.type)) return block;
    }
    return std::nullopt;
  }

 private:
  const uint8_t* cursor_;
  const uint8_t* end_;
  bool (*matches_)(uint16_t);
};

bool IsStopping(HRESULT hr) { return hr == VFW_E_WRONG_STATE || hr == VFW_E_NOT_COMMITTED; }

// Damage is passed over, not fatal; it is worth a line for whoever wonders about a jump.
void ReportSkippedBytes(uint64_t nextGroup) {
  char text[96];
  std::snprintf(text, sizeof text,
                "Recorder File Source: damaged data skipped before offset %llu\n",
                static_cast<unsigned long long>(nextGroup));
  OutputDebugStringA(text);
}

}  // namespace

SourceStreamer::SourceStreamer(SourcePin& video, SourcePin& audio) {
  video_.pin = &video;
  audio_.pin = &audio;
}

SourceStreamer::~SourceStreamer() { Exit(); }

HRESULT SourceStreamer::Prepare(const FileIndex& index) {
  index_ = &index;
  reader_ = std::make_unique<GroupReader>(index.Descriptor(), index.FileSize());
  return reader_->Init() ? S_OK : E_OUTOFMEMORY;
}

HRESULT SourceStreamer::Play(const PlayRange& range) {
  if (!ThreadExists() && !Create()) return E_FAIL;
  next_ = range;
  return static_cast<HRESULT>(CallWorker(kPlay));
}

void SourceStreamer::StopRun() {
  if (ThreadExists()) CallWorker(kStop);
}

void SourceStreamer::Exit() {
  if (!ThreadExists()) return;
  CallWorker(kExit);
  Close();
}

DWORD SourceStreamer::ThreadProc() {
  for (;;) {
    switch (GetRequest()) {
      case kPlay: {
        const PlayRange range = next_;
        Reply(S_OK);
        Run(range);
        break;
      }
      case kExit: Reply(S_OK); return 0;
      default: Reply(S_OK); break;
    }
  }
}

void SourceStreamer::Run(const PlayRange& range) {
  for (Output* output : {&video_, &audio_}) {
    output->live = output->pin->IsConnected();
    output->discontinuity = true;
    if (output->live) output->pin->DeliverNewSegment(range.segmentStart, range.stop, kNormalRate);
  }
  error_ = S_OK;
  const std::vector<IndexedGroup>& groups = index_->Groups();
  if (range.firstGroup < groups.size()) {
    reader_->Seek(groups[range.firstGroup].offset);
    GroupTiming timing(index_->Header().systemType);
    FoundGroup found;
    GroupReader::Step step = GroupReader::Step::Group;
    while (!CheckRequest(nullptr) && (video_.live || audio_.live) && SUCCEEDED(error_) &&
           (step = reader_->Next(found)) == GroupReader::Step::Group) {
      if (found.afterDamage) ReportSkippedBytes(found.offset);
      GroupTimes times;
      if (!timing.Accept(found.view, found.afterDamage, times)) continue;
      if (range.segmentStart + times.Start() >= range.stop) break;
      DeliverGroup(found.view, times);
    }
    if (step == GroupReader::Step::ReadError && SUCCEEDED(error_)) {
      OutputDebugStringA("Recorder File Source: the file cannot be read any further\n");
      error_ = HRESULT_FROM_WIN32(ERROR_READ_FAULT);
    }
  }
  EndRun();
}

void SourceStreamer::EndRun() {
  if (CheckRequest(nullptr)) return;  // stopped or flushed: no end of stream
  if (FAILED(error_)) {
    video_.pin->Filter()->NotifyEvent(EC_ERRORABORT, error_, 0);
    return;
  }
  for (Output* output : {&video_, &audio_}) {
    if (output->pin->IsConnected()) output->pin->DeliverEndOfStream();
  }
}

void SourceStreamer::DeliverGroup(const GroupView& group, const GroupTimes& times) {
  BlockCursor audioBlocks(group, IsAudioBlockType);
  int audio = 0;
  int video = 0;
  // Commands are looked for between groups: a state change or seek makes every delivery
  // fail at once (decommit, flush), so the rest of a group passes quickly.
  while (audio < times.audioBlocks || video < times.videoBlocks) {
    const REFERENCE_TIME audioStart = times.audioStart + audio * kAudioBlockDuration;
    const REFERENCE_TIME videoStart = times.videoStart + video * times.frameDuration;
    if (audio < times.audioBlocks && (video == times.videoBlocks || audioStart <= videoStart)) {
      const std::optional<BlockView> block = audioBlocks.Next();
      if (!block) return;
      if (audio_.live) DeliverAudio(*block, audioStart);
      ++audio;
    } else {
      ++video;
      if (video_.live) DeliverVideo(group, static_cast<uint32_t>(video), videoStart,
                                    videoStart + times.frameDuration);
    }
  }
}

void SourceStreamer::DeliverVideo(const GroupView& group, uint32_t index, REFERENCE_TIME start,
                                  REFERENCE_TIME stop) {
  IMediaSample* sample = GetSample(video_);
  if (!sample) return;
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const size_t capacity = static_cast<size_t>(sample->GetSize());
  const BlockCounts counts = CountBlocks(group);
  VideoSamplePrefix prefix = VideoSamplePrefix::ForGroup(group.header, counts.video);
  prefix.index = index;
  size_t length = kVideoSamplePrefixSize;
  bool fits = capacity >= length;
  if (fits) prefix.WriteTo(data);
  BlockCursor blocks(group, IsVideoBlockType);
  for (auto block = blocks.Next(); block && fits; block = blocks.Next()) {
    fits = capacity - length >= block->Size();
    if (fits) std::memcpy(data + length, block->start, block->Size());
    length += block->Size();
  }
  if (!fits) {
    OutputDebugStringA("Recorder File Source: video sample too small for its group\n");
    sample->Release();
    return;
  }
  sample->SetActualDataLength(static_cast<LONG>(length));
  Send(video_, sample, start, stop);
}

void SourceStreamer::DeliverAudio(const BlockView& block, REFERENCE_TIME start) {
  IMediaSample* sample = GetSample(audio_);
  if (!sample) return;
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const size_t length = kAudioSamplePrefixSize + block.PayloadSize();
  if (static_cast<size_t>(sample->GetSize()) < length) {
    OutputDebugStringA("Recorder File Source: audio sample too small for its block\n");
    sample->Release();
    return;
  }
  WriteAudioSamplePrefix(data, block.type);
  std::memcpy(data + kAudioSamplePrefixSize, block.payload, block.PayloadSize());
  sample->SetActualDataLength(static_cast<LONG>(length));
  Send(audio_, sample, start, start + kAudioBlockDuration);
}

IMediaSample* SourceStreamer::GetSample(Output& output) {
  IMediaSample* sample = nullptr;
  if (FAILED(output.pin->GetDeliveryBuffer(&sample, nullptr, nullptr, 0)) || !sample) {
    output.live = false;
    return nullptr;
  }
  return sample;
}

void SourceStreamer::Send(Output& output, IMediaSample* sample, REFERENCE_TIME start,
                          REFERENCE_TIME stop) {
  sample->SetTime(&start, &stop);
  sample->SetSyncPoint(TRUE);
  sample->SetPreroll(FALSE);
  sample->SetDiscontinuity(output.discontinuity);
  output.discontinuity = false;
  // S_FALSE: the downstream filter wants no more samples in this run (flushing or ended). A
  // downstream that stops before this thread hears of it refuses with its state; any other
  // failure means it could not take them, which ends the run for both streams.
  const HRESULT hr = output.pin->Deliver(sample);
  if (hr != S_OK) output.live = false;
  if (FAILED(hr) && !IsStopping(hr) && SUCCEEDED(error_)) error_ = hr;
  sample->Release();
}

}  // namespace vendor
