// WMV output parameters: the six-value record the converter passes to the ASF writer, the
// fields of the Video Set dialog that feed it, and the defaults derived from a prepared job.
// AVI output has no parameters of its own (its encoders keep their own settings).
#pragma once

#include <cstdint>

#include "ConvertTypes.h"

namespace recast {

// The record sent with the converter's SetParams, in the writer's field order. `bitRate`
// carries bits per second with CBR and the VBR quality (1..100) with VBR.
struct WmvParams {
  int32_t width = 0;
  int32_t height = 0;
  int32_t frameRate = 0;
  int32_t bitRate = 0;
  int32_t audioEnabled = 0;
  int32_t constantBitRate = 0;

  bool operator==(const WmvParams&) const = default;
};

// The dialog's parameter block, in its field order: CBR flag, 1, bit rate in bit/s (CBR) or
// quality (VBR), width, height.
struct ParamBlock {
  int32_t constantBitRate = 0;
  int32_t one = 1;
  int32_t rate = 0;
  int32_t width = 0;
  int32_t height = 0;
};

constexpr uint32_t kDefaultQuality = 85;
constexpr uint32_t kMaxQuality = 100;
constexpr uint32_t kBitsPerKilobit = 1000;

// The Video Set dialog's state, without the dialog: the GUI shows and edits these fields.
struct VideoSettings {
  int32_t width = 0;
  int32_t height = 0;
  uint32_t bitRateKbps = 0;
  uint32_t quality = kDefaultQuality;
  bool cbr = true;
  bool wmv9 = true;
  bool severalFiles = false;
  bool ntsc = false;

  ParamBlock GetParams() const;
  // Switches the rate mode, as the CBR/VBR combo box of the main window does.
  void SetRateMode(bool constantBitRate, bool several);
};

enum class DefaultsOutcome { Applied, Skipped, NoBitRate };

struct JobDefaults {
  bool severalFiles = false;
  int32_t width = 0;
  int32_t height = 0;
  uint32_t estimatedBitRate = 0;  // bit/s
  bool cbr = true;                // the main window's CBR flag
  bool ntsc = false;
};

// Refreshes the dialog from a freshly prepared job. Applied only when `job.cbr` is on or the
// dialog has no width yet (so a VBR size the user chose survives); NoBitRate when the
// estimate is below 1 kbit/s, in which case the caller tells the user.
DefaultsOutcome ApplyDefaults(VideoSettings& settings, const JobDefaults& job);

// The source bit rate estimated from size and duration (1.024 times the true average), with
// 1 000 000 bit/s for an estimate of 0 or of 100 000 000 or more.
uint32_t EstimateSourceBitRate(uint64_t fileSize, int64_t duration);

// The video standard an output frame size implies; other sizes keep `previous`.
VideoStandard StandardFromSize(int32_t width, int32_t height, VideoStandard previous);

}  // namespace recast
