// Recorder streams with real encoded video for the player tests, written by recgen and read
// back as the 40-byte FileHeader and the group stream behind it.
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
  int groupFrames = 5;
  size_t garbageBytes = 0;  // random bytes before the first group
  size_t flips = 0;         // random bytes of the groups XORed
};

struct TestStream {
  std::array<uint8_t, recorder::kFileHeaderSize> header{};
  std::vector<uint8_t> groups;
};

// A stream with ADPCM audio blocks beside the video; fails the test when recgen fails.
TestStream MakeTestStream(const TestStreamOptions& options);

}  // namespace vendortest
