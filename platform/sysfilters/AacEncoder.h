// AacEncoder: 16-bit PCM in, AAC-LC at 16 kHz mono out (libswresample, then libavcodec's AAC
// encoder), for the copying multiplexers' sound. Packet times count output samples from the
// first sample pushed. A push that starts clearly later than the sound so far (data lost
// upstream) is preceded by silence, so the sound stays in step with the copied pictures.
//
// Use: Open, Push as PCM arrives, Flush at the end. Not thread-safe; the multiplexer serialises
// every call.
#pragma once

#include <cstdint>
#include <vector>

#include "HResult.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVAudioFifo;
struct SwrContext;

struct EncodedPacket {
  std::vector<uint8_t> data;
  int64_t pts = 0;       // in output samples
  int64_t duration = 0;  // in output samples
};

class AacEncoder {
 public:
  static constexpr int kOutputRate = 16000;

  AacEncoder() = default;
  ~AacEncoder();
  AacEncoder(const AacEncoder&) = delete;
  AacEncoder& operator=(const AacEncoder&) = delete;

  HRESULT Open(int inputRate, int inputChannels);
  // `start` is where the samples belong, in output samples from the first push; negative when
  // unknown (the samples then follow on).
  HRESULT Push(const int16_t* samples, int frames, int64_t start, std::vector<EncodedPacket>& out);
  HRESULT Flush(std::vector<EncodedPacket>& out);

  // The AudioSpecificConfig for the container's sample description; valid after Open.
  const uint8_t* Extradata() const;
  int ExtradataSize() const;

 private:
  HRESULT Convert(const uint8_t* const* input, int frames);
  HRESULT EncodeFull(bool flush, std::vector<EncodedPacket>& out);
  HRESULT Drain(std::vector<EncodedPacket>& out);
  void Close();

  AVCodecContext* m_codec = nullptr;
  SwrContext* m_swr = nullptr;
  AVAudioFifo* m_fifo = nullptr;
  AVFrame* m_frame = nullptr;
  AVPacket* m_packet = nullptr;
  std::vector<float> m_converted;  // reused per push
  int64_t m_queued = 0;  // output samples given to the fifo so far
  int64_t m_encoded = 0; // output samples sent to the encoder so far
};
