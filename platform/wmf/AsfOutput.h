// One writing session: the ASF muxer and one encoder per writer input. Input i feeds the
// profile's stream i; the muxer receives the streams in order of their stream numbers, which
// it numbers from 1.
#pragma once

#include <memory>
#include <vector>

#include "AsfMuxer.h"
#include "AudioEncoder.h"
#include "StreamPlan.h"
#include "VideoEncoder.h"

class AsfOutput {
 public:
  // `input_types[i]` is the uncompressed type of input i, feeding `streams[i]`.
  HRESULT Open(const std::string& path, const std::vector<StreamPlan>& streams,
               const std::vector<OwnedMediaType>& input_types, const AsfMuxer::Metadata& metadata);
  // `owner` holds `data`; a video encoder that reads the picture in place keeps it alive.
  HRESULT Write(DWORD input, REFERENCE_TIME time, DWORD flags, const BYTE* data, size_t size,
                INSSBuffer* owner);
  // Drains every encoder and completes the file.
  HRESULT Finish();

 private:
  struct Channel {
    std::unique_ptr<VideoEncoder> video;
    std::unique_ptr<AudioEncoder> audio;
    int64_t nominal_bit_rate = 0;
    int stream = -1;  // muxer stream index
  };

  HRESULT OpenChannel(const StreamPlan& plan, const OwnedMediaType& input, Channel* channel);
  static const AVCodecContext* EncoderOf(const Channel& channel);

  AsfMuxer muxer_;
  std::vector<Channel> channels_;
};
