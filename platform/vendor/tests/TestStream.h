// Recorder streams with real encoded video for the player tests: a FileHeader and one group
// per frame (the frame's video block and a silent audio block).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "recorder/StreamFormat.h"

namespace vendortest {

struct TestStreamOptions {
  uint32_t magic = recorder::kMagic4MLQ;
  int width = 176;
  int height = 144;
  int fps = 25;
  int frames = 25;
  int gop = 10;
};

struct TestStream {
  std::array<uint8_t, recorder::kFileHeaderSize> header{};
  std::vector<uint8_t> groups;
  int frames = 0;
};

// Encodes `frames` moving pictures with libavcodec (MPEG-4 part 2 or, for "4HLQ", H.264)
// and wraps them as a recorder stream. Aborts the test on encoder failure.
TestStream MakeTestStream(const TestStreamOptions& options);

}  // namespace vendortest
