#include "MediaProbe.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <limits>

namespace {

struct InputCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using Input = std::unique_ptr<AVFormatContext, InputCloser>;

struct PacketFree {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

}  // namespace

MediaSummary ProbeMedia(const std::filesystem::path& path) {
  MediaSummary summary;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return summary;
  Input input(raw);
  if (avformat_find_stream_info(input.get(), nullptr) < 0) return summary;
  summary.opened = true;
  summary.format = input->iformat->name;

  const int video = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const int audio = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (video >= 0) {
    const AVCodecParameters* p = input->streams[video]->codecpar;
    summary.videoCodec = avcodec_get_name(p->codec_id);
    summary.width = p->width;
    summary.height = p->height;
  }
  if (audio >= 0) {
    const AVCodecParameters* p = input->streams[audio]->codecpar;
    summary.audioCodec = avcodec_get_name(p->codec_id);
    summary.sampleRate = p->sample_rate;
    summary.channels = p->ch_layout.nb_channels;
  }
  if (video < 0) return summary;

  std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
  int64_t first = std::numeric_limits<int64_t>::max();
  int64_t end = std::numeric_limits<int64_t>::min();
  while (av_read_frame(input.get(), packet.get()) >= 0) {
    if (packet->stream_index == video && packet->size > 0) {
      ++summary.videoFrames;
      if (packet->pts != AV_NOPTS_VALUE) {
        first = std::min(first, packet->pts);
        end = std::max(end, packet->pts + std::max<int64_t>(packet->duration, 0));
      }
    }
    av_packet_unref(packet.get());
  }
  if (end > first) summary.videoSeconds = static_cast<double>(end - first) * av_q2d(input->streams[video]->time_base);
  return summary;
}
