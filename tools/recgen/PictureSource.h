// A synthetic moving picture in YUV 4:2:0: a drifting luma gradient, a box bouncing around the
// upper part and, along the bottom, the frame number as a row of black and white cells, so a
// decoded frame tells which frame it is.
#pragma once

#include <cstdint>

#include "AvHandles.h"

namespace recgen {

// Cells of the frame counter band, most significant bit first.
constexpr int kCounterBits = 16;

// Luma of the counter's cells; a reader thresholds halfway between them.
constexpr uint8_t kCounterDark = 16;
constexpr uint8_t kCounterLight = 235;

struct CounterBand {
  int top = 0;        // first row
  int height = 0;
  int cellWidth = 0;  // cell i spans [i * cellWidth, (i + 1) * cellWidth)
};

// Where the counter band lies in a picture of this size.
CounterBand CounterBandFor(int width, int height);

// Reads the frame counter back from a decoded luma plane.
uint32_t ReadFrameCounter(const uint8_t* luma, int stride, int width, int height);

class PictureSource {
 public:
  PictureSource(int width, int height);

  // Draws frame `index` and returns it; valid until the next call. Throws when libav cannot
  // allocate the picture.
  AVFrame* Render(int64_t index);

 private:
  void DrawBackground(int64_t index);
  void DrawBox(int64_t index);
  void DrawCounter(int64_t index);

  int width_;
  int height_;
  CounterBand band_;
  FramePtr frame_;
};

}  // namespace recgen
