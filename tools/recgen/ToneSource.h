// The sound recgen encodes: a 440 Hz tone with a short 1 kHz beep at the start of every
// second, as signed 16-bit mono samples. Sample n depends only on n, so any stretch of the
// sound can be produced again.
#pragma once

#include <cstdint>
#include <vector>

namespace recgen {

class ToneSource {
 public:
  explicit ToneSource(int sampleRate) : sampleRate_(sampleRate) {}

  // The next `count` samples.
  std::vector<int16_t> Next(int count);

 private:
  int sampleRate_;
  int64_t position_ = 0;  // index of the next sample
};

}  // namespace recgen
