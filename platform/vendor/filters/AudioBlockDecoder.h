// AudioBlockDecoder: decodes recorder audio block payloads to 16-bit mono PCM with
// libavcodec. The normalised audio code names the coding (8 kHz unless noted):
//   0x1001 ADPCM        G.726 at 32 kbit/s
//   0x1011/1012/1013    G.726 at 16/24/32 kbit/s
//   0x7110/0x7111       G.711 mu-law / A-law
//   0x7221              G.722 at 16 kHz
#pragma once

#include <cstdint>
#include <memory>

#include "recorder/ByteOrder.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace vendor {

struct AudioDecoding {
  int codecId = 0;        // AVCodecID
  int sampleRate = 0;     // Hz of the decoded PCM
  int bitsPerCode = 0;    // bits per coded sample (G.726 code size); 0 where fixed
};

class AudioBlockDecoder {
 public:
  // How a normalised audio code is decoded; nothing for codes without a decoder.
  static const AudioDecoding* DecodingFor(uint32_t normalisedCodec);

  // A decoder for the code; nullptr when there is none or libavcodec cannot open it.
  static std::unique_ptr<AudioBlockDecoder> Create(uint32_t normalisedCodec);
  ~AudioBlockDecoder();
  AudioBlockDecoder(const AudioBlockDecoder&) = delete;
  AudioBlockDecoder& operator=(const AudioBlockDecoder&) = delete;

  int SampleRate() const { return sampleRate_; }

  // Decodes one payload into `pcm` (at most `capacity` bytes of 16-bit samples). The bytes
  // written, or -1 when the payload cannot be decoded or its sound does not fit.
  [[nodiscard]] long Decode(recorder::ByteSpan payload, uint8_t* pcm, size_t capacity);

  // Forgets the coding state (after a seek or a gap).
  void Reset();

 private:
  AudioBlockDecoder(AVCodecContext* context, int sampleRate);
  // Appends the frame's samples to pcm; false when they do not fit.
  bool CopySamples(const AVFrame& frame, uint8_t* pcm, size_t capacity, size_t& written) const;

  AVCodecContext* context_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  const int sampleRate_;
};

}  // namespace vendor
