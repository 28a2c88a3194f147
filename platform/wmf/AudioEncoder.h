// One audio stream's encoding: PCM input is resampled by libswresample to the encoder's
// planar float at the stream's rate and channel count, gathered in a sample FIFO, and handed
// to the encoder in the fixed-size frames it takes. Buffers only grow, so a steady input
// allocates nothing per sample.
//
// Time: the stream starts at the first sample's time and runs on by the samples written. A
// sample flagged as a discontinuity that starts later than the stream has reached is
// preceded by silence (up to kMaxGapSeconds), so the sound stays in step with its times.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

#include "EncoderSettings.h"
#include "PacketOutput.h"

class AudioEncoder {
 public:
  AudioEncoder() = default;
  ~AudioEncoder();
  AudioEncoder(const AudioEncoder&) = delete;
  AudioEncoder& operator=(const AudioEncoder&) = delete;

  // Opens the encoder and the resampler for PCM described by `input`.
  HRESULT Open(const AudioSettings& settings, const WAVEFORMATEX& input, bool global_header);
  const AVCodecContext* Context() const { return encoder_; }

  HRESULT Encode(const BYTE* data, size_t size, REFERENCE_TIME time, DWORD flags,
                 PacketOutput& output, int stream);
  // Encodes what is left (the last frame padded with silence) and drains the encoder.
  HRESULT Finish(PacketOutput& output, int stream);

 private:
  HRESULT ConfigureEncoder(const AudioSettings& settings, bool global_header);
  HRESULT ConfigureResampler(const WAVEFORMATEX& input);
  // Room for `samples` converted samples.
  HRESULT Reserve(int samples);
  HRESULT QueueSilence(int64_t samples);
  // Encodes whole frames from the FIFO; with `final`, also the last partial one.
  HRESULT EncodeQueued(bool final, PacketOutput& output, int stream);

  AVCodecContext* encoder_ = nullptr;
  SwrContext* resampler_ = nullptr;
  AVAudioFifo* fifo_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  uint8_t** converted_ = nullptr;  // planar float scratch for the resampler's output
  int converted_capacity_ = 0;     // samples per channel
  int input_block_ = 0;            // bytes per input sample frame
  int input_rate_ = 0;
  bool started_ = false;
  int64_t next_pts_ = 0;  // encoder time of the first sample in the FIFO
};
