// One libavcodec audio encoder cut into 40 ms blocks. The encoders take their own frame
// sizes, so the encoded stream is collected and cut at block boundaries; every coding here
// has a whole number of bytes per block, so the cut blocks decode back to back exactly as the
// uncut stream does.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "AudioCodings.h"
#include "AvHandles.h"
#include "ToneSource.h"

namespace recgen {

class AudioEncoder {
 public:
  // Opens the encoder for `coding`; throws with the reason when libavcodec cannot.
  explicit AudioEncoder(const AudioCoding& coding);

  // The next block of `coding.blockBytes` encoded bytes.
  std::vector<uint8_t> NextBlock();

 private:
  void Open();
  void EncodeMore();

  const AudioCoding& coding_;
  CodecContextPtr context_;
  PacketPtr packet_;
  FramePtr frame_;
  ToneSource tone_;
  int64_t samplesSent_ = 0;
  std::deque<uint8_t> encoded_;
};

}  // namespace recgen
