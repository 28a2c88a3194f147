#include "PictureSource.h"

#include <algorithm>
#include <cstring>

namespace recgen {

namespace {

constexpr int kBandDivisor = 12;  // the counter band is 1/12 of the height
constexpr int kMinBandHeight = 8;
constexpr int kBoxDivisor = 5;    // the box is 1/5 of the picture in each direction
constexpr int kBoxSpeed = 3;      // pixels per frame in each direction
constexpr int kGradientSpeed = 2;
constexpr int kGradientBase = 40;   // luma of the gradient runs from here...
constexpr int kGradientRange = 180;  // ...over this many steps and back
constexpr int kChromaBase = 96;
constexpr int kChromaRange = 64;
constexpr uint8_t kNeutralChroma = 128;
constexpr uint8_t kBoxLuma = 200;
constexpr uint8_t kBoxU = 90;
constexpr uint8_t kBoxV = 220;

// Position on a back-and-forth path of length `span`.
int Bounce(int64_t travelled, int span) {
  if (span <= 0) return 0;
  const int64_t period = 2 * static_cast<int64_t>(span);
  const int64_t p = travelled % period;
  return static_cast<int>(p < span ? p : period - p);
}

}  // namespace

CounterBand CounterBandFor(int width, int height) {
  CounterBand band;
  band.height = std::max(kMinBandHeight, height / kBandDivisor) & ~1;
  band.top = (height - band.height) & ~1;
  band.cellWidth = width / kCounterBits;
  return band;
}

uint32_t ReadFrameCounter(const uint8_t* luma, int stride, int width, int height) {
  const CounterBand band = CounterBandFor(width, height);
  uint32_t value = 0;
  for (int bit = 0; bit < kCounterBits; ++bit) {
    // Average the middle half of the cell; compression smears its edges.
    const int x0 = bit * band.cellWidth + band.cellWidth / 4;
    const int x1 = std::max(x0 + 1, (bit + 1) * band.cellWidth - band.cellWidth / 4);
    const int y0 = band.top + band.height / 4;
    const int y1 = std::max(y0 + 1, band.top + band.height - band.height / 4);
    int sum = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) sum += luma[y * stride + x];
    const int mean = sum / ((x1 - x0) * (y1 - y0));
    value = value << 1 | (mean > (kCounterDark + kCounterLight) / 2 ? 1u : 0u);
  }
  return value;
}

PictureSource::PictureSource(int width, int height)
    : width_(width), height_(height), band_(CounterBandFor(width, height)) {}

AVFrame* PictureSource::Render(int64_t index) {
  if (!frame_) {
    frame_.reset(av_frame_alloc());
    if (!frame_) throw std::runtime_error("cannot allocate a picture");
    frame_->format = AV_PIX_FMT_YUV420P;
    frame_->width = width_;
    frame_->height = height_;
    CheckAv(av_frame_get_buffer(frame_.get(), 0), "allocate picture");
  }
  // The encoder may still hold the previous picture; give this one its own buffer then.
  CheckAv(av_frame_make_writable(frame_.get()), "make picture writable");
  DrawBackground(index);
  DrawBox(index);
  DrawCounter(index);
  frame_->pts = index;
  return frame_.get();
}

void PictureSource::DrawBackground(int64_t index) {
  const int shift = static_cast<int>(index * kGradientSpeed % 256);
  for (int y = 0; y < height_; ++y) {
    uint8_t* row = frame_->data[0] + y * frame_->linesize[0];
    for (int x = 0; x < width_; ++x) row[x] = static_cast<uint8_t>(Bounce(x + y + shift, kGradientRange) + kGradientBase);
  }
  const int chromaWidth = width_ / 2;
  const int chromaHeight = height_ / 2;
  for (int y = 0; y < chromaHeight; ++y) {
    uint8_t* u = frame_->data[1] + y * frame_->linesize[1];
    uint8_t* v = frame_->data[2] + y * frame_->linesize[2];
    for (int x = 0; x < chromaWidth; ++x) {
      u[x] = static_cast<uint8_t>(kChromaBase + kChromaRange * x / chromaWidth);
      v[x] = static_cast<uint8_t>(kChromaBase + kChromaRange * y / chromaHeight);
    }
  }
}

void PictureSource::DrawBox(int64_t index) {
  const int boxWidth = (width_ / kBoxDivisor) & ~1;
  const int boxHeight = (band_.top / kBoxDivisor) & ~1;
  const int left = Bounce(index * kBoxSpeed, width_ - boxWidth) & ~1;
  const int top = Bounce(index * kBoxSpeed, band_.top - boxHeight) & ~1;
  for (int y = top; y < top + boxHeight; ++y)
    std::memset(frame_->data[0] + y * frame_->linesize[0] + left, kBoxLuma, boxWidth);
  for (int y = top / 2; y < (top + boxHeight) / 2; ++y) {
    std::memset(frame_->data[1] + y * frame_->linesize[1] + left / 2, kBoxU, boxWidth / 2);
    std::memset(frame_->data[2] + y * frame_->linesize[2] + left / 2, kBoxV, boxWidth / 2);
  }
}

void PictureSource::DrawCounter(int64_t index) {
  const uint32_t value = static_cast<uint32_t>(index);
  for (int y = band_.top; y < band_.top + band_.height; ++y) {
    uint8_t* row = frame_->data[0] + y * frame_->linesize[0];
    std::memset(row, kCounterDark, width_);
    for (int bit = 0; bit < kCounterBits; ++bit) {
      if (value >> (kCounterBits - 1 - bit) & 1)
        std::memset(row + bit * band_.cellWidth, kCounterLight, band_.cellWidth);
    }
  }
  for (int y = band_.top / 2; y < (band_.top + band_.height) / 2; ++y) {
    std::memset(frame_->data[1] + y * frame_->linesize[1], kNeutralChroma, width_ / 2);
    std::memset(frame_->data[2] + y * frame_->linesize[2], kNeutralChroma, width_ / 2);
  }
}

}  // namespace recgen
