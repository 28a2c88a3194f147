// How a profile stream's settings become encoder parameters. Kept apart from the encoders so
// the mapping can be checked without encoding anything.
//
// Video: CBR uses the stream bit rate and lets the bits run ahead of or behind it by at most
// the stream's buffer window; VBR ("_VBRENABLED") encodes at a constant quantiser taken from
// "_VBRQUALITY" (1..100, 100 best) with "_RMAX"/"_BMAX" as an optional peak rate and peak
// buffer. "_COMPLEXITYEX" picks the motion search effort, the maximum key-frame spacing the
// group length, and the video quality (0 smooth .. 100 crisp) how strictly the quantiser is
// held steady against the bit rate.
#pragma once

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/rational.h>
}

#include "StreamPlan.h"

// Complexity 0: no motion search; 1..3: the standard search; 4: rate-distortion decisions.
enum class MotionSearch { kNone, kStandard, kRateDistortion };

struct VideoSettings {
  AVCodecID codec = AV_CODEC_ID_NONE;
  int width = 0;
  int height = 0;
  AVRational frame_rate{0, 1};
  int64_t bit_rate = 0;
  int rate_tolerance_bits = 0;  // CBR: how far the bits may run from the rate; 0: default
  int64_t max_rate = 0;         // VBR peak rate; 0: no peak constraint
  int buffer_bits = 0;          // VBR peak buffer, with max_rate
  bool constant_quality = false;
  int quantiser = 0;        // with constant_quality
  int group_length = 0;     // frames between key frames; 0: the encoder's choice
  float quantiser_compression = 0.5f;
  MotionSearch motion_search = MotionSearch::kStandard;
};

struct AudioSettings {
  AVCodecID codec = AV_CODEC_ID_NONE;
  int sample_rate = 0;
  int channels = 0;
  int64_t bit_rate = 0;
};

// The encoder's quantiser range that VBR quality is spread over (best, worst).
inline constexpr int kBestQuantiser = 2;
inline constexpr int kWorstQuantiser = 31;

HRESULT MakeVideoSettings(const StreamPlan& plan, VideoSettings* settings);
HRESULT MakeAudioSettings(const StreamPlan& plan, AudioSettings* settings);
// VBR quality 1..100 (values outside are clamped) to a quantiser, 100 giving the best.
int QuantiserForQuality(uint64_t quality);
