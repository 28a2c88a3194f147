// Throughput of the AVI output chain (video encoder → AVI Mux → File writer, no clock) against
// its codec and muxer alone, in the same run.
//
// Both encode the same CIF pictures (a moving gradient, painted per frame on both sides) to
// MPEG-4 part 2 at 1000 kbit/s in one thread and write an AVI file; the peer calls libavcodec
// and libavformat directly. AVI_BENCH_FRAMES sets the length (750 frames, 30 s, unless it says
// otherwise). The summary prints both frame rates and their ratio: the filters should cost
// little beyond their codec.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "AviMux.h"
#include "FileWriter.h"
#include "ScopedTestRegistry.h"
#include "TestKit.h"
#include "VideoEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

namespace {

using namespace filter_test;

constexpr int kDefaultFrames = 750;
constexpr int kWidth = 352;
constexpr int kHeight = 288;
constexpr int kBitRateKbps = 1000;
constexpr int kFps = 25;

int Frames() {
  const char* frames = std::getenv("AVI_BENCH_FRAMES");
  return frames ? std::atoi(frames) : kDefaultFrames;
}

std::filesystem::path Output(const char* name) {
  return std::filesystem::temp_directory_path() / name;
}

double g_chainFps = 0;
double g_codecFps = 0;

double FramesPerSecond(benchmark::State& state, std::chrono::steady_clock::duration spent) {
  const double seconds = std::chrono::duration<double>(spent).count();
  const double fps = seconds > 0 ? Frames() * static_cast<double>(state.iterations()) / seconds : 0;
  state.counters["fps"] = fps;
  return fps;
}

void BM_FilterChain(benchmark::State& state) {
  ScopedTestRegistry registry;
  VideoEncoderSettings settings;
  settings.bitRateKbps = kBitRateKbps;
  settings.threads = 1;
  settings.Save();
  const auto path = Output("avi_chain_bench_filters.avi");
  const auto begin = std::chrono::steady_clock::now();
  for (auto _ : state) {
    EventGraph graph;
    auto* writer = new FileWriter(nullptr);
    ComPtr<IBaseFilter> source = Hold(new VideoSource({.frames = Frames(), .width = kWidth, .height = kHeight}));
    ComPtr<IBaseFilter> encoder = Hold(new VideoEncoder(nullptr));
    ComPtr<IBaseFilter> mux = Hold(new AviMux(nullptr));
    ComPtr<IBaseFilter> sink = Hold(writer);
    sink->JoinFilterGraph(&graph, u"File writer");
    writer->SetFileName(path.u16string().c_str(), nullptr);
    Connect(PinAt(source.Get(), 0).Get(), PinAt(encoder.Get(), 0).Get());
    Connect(PinAt(encoder.Get(), 1).Get(), PinAt(mux.Get(), 0).Get());
    Connect(PinAt(mux.Get(), 2).Get(), PinAt(sink.Get(), 0).Get());
    RunAll({sink.Get(), mux.Get(), encoder.Get(), source.Get()}, nullptr);
    if (!graph.WaitFor(EC_COMPLETE)) state.SkipWithError("the chain did not complete");
    StopAll({sink.Get(), mux.Get(), encoder.Get(), source.Get()});
  }
  g_chainFps = FramesPerSecond(state, std::chrono::steady_clock::now() - begin);
  std::filesystem::remove(path);
}

void EncodeDirectly(const std::filesystem::path& path) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  AVCodecContext* context = avcodec_alloc_context3(codec);
  context->width = kWidth;
  context->height = kHeight;
  context->pix_fmt = AV_PIX_FMT_YUV420P;
  context->time_base = AVRational{1, kFps};
  context->max_b_frames = 0;
  context->thread_count = 1;
  context->bit_rate = kBitRateKbps * 1000;
  avcodec_open2(context, codec, nullptr);
  AVFormatContext* format = nullptr;
  avformat_alloc_output_context2(&format, nullptr, "avi", path.c_str());
  AVStream* stream = avformat_new_stream(format, nullptr);
  avcodec_parameters_from_context(stream->codecpar, context);
  stream->time_base = context->time_base;
  avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE);
  if (avformat_write_header(format, nullptr) < 0) return;
  AVFrame* frame = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  std::vector<uint8_t> picture(PlanarYuv420Size(kWidth, kHeight));
  for (int n = 0; n < Frames(); ++n) {
    YuvPlanes planes = MapPlanarYuv420(MEDIASUBTYPE_I420, picture.data(), kWidth, kHeight);
    PaintGradient(planes, n);
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = kWidth;
    frame->height = kHeight;
    for (int i = 0; i < 3; ++i) {
      frame->data[i] = planes.planes[i];
      frame->linesize[i] = planes.strides[i];
    }
    frame->pts = n;
    avcodec_send_frame(context, frame);
    while (avcodec_receive_packet(context, packet) == 0) {
      packet->stream_index = 0;
      av_packet_rescale_ts(packet, context->time_base, stream->time_base);
      av_write_frame(format, packet);
    }
  }
  av_write_trailer(format);
  avio_closep(&format->pb);
  avformat_free_context(format);
  av_packet_free(&packet);
  av_frame_free(&frame);
  avcodec_free_context(&context);
}

void BM_CodecAlone(benchmark::State& state) {
  const auto path = Output("avi_chain_bench_codec.avi");
  const auto begin = std::chrono::steady_clock::now();
  for (auto _ : state) EncodeDirectly(path);
  g_codecFps = FramesPerSecond(state, std::chrono::steady_clock::now() - begin);
  std::filesystem::remove(path);
}

BENCHMARK(BM_FilterChain)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CodecAlone)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (g_codecFps > 0) {
    std::printf("AVI chain %.0f fps, codec and muxer alone %.0f fps, ratio %.2f\n", g_chainFps,
                g_codecFps, g_chainFps / g_codecFps);
  }
  return 0;
}
