// Encodes raw 4:2:0 pictures from a file into a WMV file through the ASF writer, with the
// profile the writer filter builds (CBR, video only), and prints the seconds it took.
// Usage: wmvencode <raw.yuv> <out.wmv> <width> <height> <frame rate> <bit rate>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "WideString.h"
#include "WmWriterContext.h"

namespace {

constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;

int Fail(const char* what, HRESULT hr) {
  std::fprintf(stderr, "wmvencode: %s failed (0x%08X)\n", what, static_cast<unsigned>(hr));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: wmvencode <raw.yuv> <out.wmv> <width> <height> <fps> <bit rate>\n");
    return 2;
  }
  const int width = std::atoi(argv[3]), height = std::atoi(argv[4]), fps = std::atoi(argv[5]);
  const WmSinkConfig config{width, height, fps, std::atoi(argv[6]), FALSE, TRUE};
  FILE* input = std::fopen(argv[1], "rb");
  if (!input || width <= 0 || height <= 0 || fps <= 0) return Fail("opening the input", E_FAIL);

  WmWriterContext context;
  context.Configure(config);
  VIDEOINFOHEADER info{};
  info.AvgTimePerFrame = kUnitsPerSecond / fps;
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 12, WMMEDIASUBTYPE_IYUV.Data1,
                    0, 0, 0, 0, 0};
  if (HRESULT hr = context.ConfigureInput(SinkInput::kVideo, WMMEDIASUBTYPE_IYUV,
                                          reinterpret_cast<const BYTE*>(&info), sizeof info);
      FAILED(hr))
    return Fail("configuring the input", hr);
  context.SetFileName(Utf8ToWide(argv[2]));

  std::vector<BYTE> picture(static_cast<size_t>(width) * height * 3 / 2);
  const auto start = std::chrono::steady_clock::now();
  if (HRESULT hr = context.StartWriting(); FAILED(hr)) return Fail("starting", hr);
  for (REFERENCE_TIME frame = 0; std::fread(picture.data(), 1, picture.size(), input) == picture.size();
       ++frame) {
    const HRESULT hr = context.WriteVideo(picture.data(), static_cast<LONG>(picture.size()),
                                          frame * kUnitsPerSecond / fps, WM_SF_CLEANPOINT);
    if (FAILED(hr)) return Fail("writing", hr);
  }
  context.StopWriting();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::fclose(input);
  std::printf("%u frames in %.3f s\n", context.WrittenFrames(), took.count());
  return 0;
}
