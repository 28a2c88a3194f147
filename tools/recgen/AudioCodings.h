// The audio codings recgen can write: the recorder's audio codes and the libavcodec coding the
// recorder's decoders expect behind each (8 kHz mono unless noted, one 40 ms block per audio
// block).
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace recgen {

// Every audio block holds this much sound.
constexpr int kAudioBlockMilliseconds = 40;

struct AudioCoding {
  uint32_t code = 0;           // normalised recorder audio code
  AVCodecID codecId = AV_CODEC_ID_NONE;
  int sampleRate = 0;          // Hz, mono
  int bitRate = 0;             // bit/s; selects the G.726 code size, 0 where fixed by the coding
  size_t blockBytes = 0;       // encoded bytes per 40 ms block
  const char* extension = "";  // of the raw elementary file
  const char* name = "";       // for the summary

  int BlockSamples() const { return sampleRate * kAudioBlockMilliseconds / 1000; }
};

// The coding behind a FileHeader audio code, after the format's normalisation (0 and 0x1003
// are aliases); nullptr for codes recgen cannot write.
const AudioCoding* FindAudioCoding(uint32_t headerCode);

}  // namespace recgen
