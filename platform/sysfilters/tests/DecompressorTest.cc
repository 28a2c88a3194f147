// The AVI Decompressor: its RGB matches the YUV it was given, rows bottom-up.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "AviDecompressor.h"
#include "TestKit.h"

using namespace filter_test;

namespace {

constexpr int kWidth = 176;
constexpr int kHeight = 120;  // narrow NTSC
constexpr int kTolerance = 3;  // rounding of the converter against the formula

struct Yuv {
  uint8_t y, u, v;
};
struct Rgb {
  int r, g, b;
};

// The top half one colour, the bottom half another.
constexpr Yuv kTop{81, 90, 240};     // a red
constexpr Yuv kBottom{145, 54, 34};  // a green

void PaintHalves(YuvPlanes& p, int) {
  for (int y = 0; y < p.height; ++y) {
    std::memset(p.planes[0] + y * p.strides[0], y < p.height / 2 ? kTop.y : kBottom.y, p.width);
  }
  for (int y = 0; y < (p.height + 1) / 2; ++y) {
    const Yuv& c = y < p.height / 4 ? kTop : kBottom;
    std::memset(p.planes[1] + y * p.strides[1], c.u, p.strides[1]);
    std::memset(p.planes[2] + y * p.strides[2], c.v, p.strides[2]);
  }
}

// BT.601, limited range.
Rgb Expected(const Yuv& c) {
  const double y = 1.164 * (c.y - 16);
  const double u = c.u - 128;
  const double v = c.v - 128;
  auto clamp = [](double x) { return static_cast<int>(std::lround(std::clamp(x, 0.0, 255.0))); };
  return {clamp(y + 1.596 * v), clamp(y - 0.392 * u - 0.813 * v), clamp(y + 2.017 * u)};
}

void ExpectPixel(const std::vector<BYTE>& image, int stride, int bytesPerPixel, int row, int x,
                 const Yuv& colour) {
  // Bottom-up: picture row `row` is buffer row height-1-row; pixels are B, G, R(, A).
  const BYTE* p = image.data() + (kHeight - 1 - row) * stride + x * bytesPerPixel;
  const Rgb want = Expected(colour);
  EXPECT_NEAR(want.b, p[0], kTolerance) << "row " << row;
  EXPECT_NEAR(want.g, p[1], kTolerance) << "row " << row;
  EXPECT_NEAR(want.r, p[2], kTolerance) << "row " << row;
}

void Convert(const GUID& output, const GUID& input, int bytesPerPixel) {
  auto* source = new VideoSource({.frames = 3, .width = kWidth, .height = kHeight,
                                  .subtype = input, .paint = PaintHalves});
  auto* decompressor = new AviDecompressor(nullptr);
  auto* sink = new CaptureSink(output);
  ComPtr<IBaseFilter> s = Hold(source), d = Hold(decompressor), k = Hold(sink);
  EventGraph graph;
  k->JoinFilterGraph(&graph, u"sink");
  ASSERT_EQ(S_OK, Connect(source->Output(), PinAt(d.Get(), 0).Get()));
  ASSERT_EQ(S_OK, Connect(PinAt(d.Get(), 1).Get(), sink->Input()));
  RunAll({k.Get(), d.Get(), s.Get()}, nullptr);
  ASSERT_TRUE(graph.WaitFor(EC_COMPLETE));
  StopAll({k.Get(), d.Get(), s.Get()});

  EXPECT_EQ(3, sink->Count());
  const std::vector<BYTE> image = sink->First();
  const int stride = (kWidth * bytesPerPixel + 3) / 4 * 4;
  ASSERT_EQ(static_cast<size_t>(stride * kHeight), image.size());
  for (int x : {0, kWidth / 2, kWidth - 1}) {
    ExpectPixel(image, stride, bytesPerPixel, 0, x, kTop);
    ExpectPixel(image, stride, bytesPerPixel, kHeight / 2 - 2, x, kTop);
    ExpectPixel(image, stride, bytesPerPixel, kHeight / 2 + 2, x, kBottom);
    ExpectPixel(image, stride, bytesPerPixel, kHeight - 1, x, kBottom);
  }
}

}  // namespace

TEST(AviDecompressorTest, Yv12BecomesBottomUpRgb32) { Convert(MEDIASUBTYPE_RGB32, MEDIASUBTYPE_YV12, 4); }

TEST(AviDecompressorTest, I420BecomesRgb24) { Convert(MEDIASUBTYPE_RGB24, MEDIASUBTYPE_I420, 3); }

TEST(AviDecompressorTest, RefusesWhatItCannotConvert) {
  auto* decompressor = new AviDecompressor(nullptr);
  ComPtr<IBaseFilter> held = Hold(decompressor);
  CMediaType rgb;
  rgb.SetType(&MEDIATYPE_Video);
  rgb.SetSubtype(&MEDIASUBTYPE_RGB32);
  EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, decompressor->CheckInputType(&rgb));
  // A planar type whose format block is missing.
  CMediaType bare;
  bare.SetType(&MEDIATYPE_Video);
  bare.SetSubtype(&MEDIASUBTYPE_YV12);
  bare.SetFormatType(&FORMAT_VideoInfo);
  EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, decompressor->CheckInputType(&bare));
}
