// Pushes bytes into a GroupParser and collects what comes out of its two outputs; captures
// the trace hook while it lives.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "CollectingOutput.h"
#include "GroupParser.h"
#include "StreamBuilder.h"
#include "recorder/Trace.h"

namespace splitter::testing {

class ParserHarness {
 public:
  explicit ParserHarness(uint16_t systemType = recorder::kSystemVideoAudio,
                         uint32_t audioCodec = recorder::kAudioAdpcm,
                         size_t capacity = 512'000)
      : video(capacity), audio(capacity) {
    EXPECT_EQ(GroupParser::Create(video, audio, parser), S_OK);
    parser->SetStreamFormat(MakeFileHeader(systemType, audioCodec));
    recorder::SetTraceHook(&ParserHarness::Capture, this);
  }
  ~ParserHarness() { recorder::SetTraceHook(nullptr); }

  HRESULT Push(std::span<const uint8_t> bytes) {
    return parser->Receive(bytes.data(), static_cast<long>(bytes.size()));
  }

  // Pushes the stream in consecutive samples of the given sizes (the last runs to the end).
  void PushInPieces(std::span<const uint8_t> stream, const std::vector<size_t>& sizes) {
    size_t offset = 0;
    for (size_t size : sizes) {
      size = std::min(size, stream.size() - offset);
      if (size > 0) (void)Push(stream.subspan(offset, size));
      offset += size;
    }
    if (offset < stream.size()) (void)Push(stream.subspan(offset));
  }

  void PushEvery(std::span<const uint8_t> stream, size_t pieceSize) {
    for (size_t offset = 0; offset < stream.size(); offset += pieceSize)
      (void)Push(stream.subspan(offset, std::min(pieceSize, stream.size() - offset)));
  }

  int CountTrace(const std::string& text) const {
    return static_cast<int>(std::count(traces.begin(), traces.end(), text));
  }

  CollectingOutput video;
  CollectingOutput audio;
  std::unique_ptr<GroupParser> parser;
  std::vector<std::string> traces;

 private:
  static void Capture(const char* text, void* self) {
    static_cast<ParserHarness*>(self)->traces.emplace_back(text);
  }
};

// The u32 at `offset` of a delivered sample.
inline uint32_t WordAt(const DeliveredSample& sample, size_t offset) {
  return recorder::rl32(sample.bytes, offset).value_or(0xDEADBEEF);
}

}  // namespace splitter::testing
