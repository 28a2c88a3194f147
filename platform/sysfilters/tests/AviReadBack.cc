#include "AviReadBack.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

AviSummary ReadAvi(const std::filesystem::path& path) {
  AviSummary s;
  AVFormatContext* context = nullptr;
  if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0) return s;
  if (avformat_find_stream_info(context, nullptr) < 0) {
    avformat_close_input(&context);
    return s;
  }
  s.opened = true;
  s.durationSeconds = context->duration > 0 ? double(context->duration) / AV_TIME_BASE : 0;
  int video = -1;
  int audio = -1;
  int blockAlign = 1;
  for (unsigned i = 0; i < context->nb_streams; ++i) {
    const AVCodecParameters* par = context->streams[i]->codecpar;
    if (par->codec_type == AVMEDIA_TYPE_VIDEO && video < 0) {
      video = static_cast<int>(i);
      s.videoCodec = avcodec_get_name(par->codec_id);
      for (int b = 0; b < 4; ++b) s.videoTag += static_cast<char>((par->codec_tag >> (8 * b)) & 0xFF);
      s.width = par->width;
      s.height = par->height;
    } else if (par->codec_type == AVMEDIA_TYPE_AUDIO && audio < 0) {
      audio = static_cast<int>(i);
      s.audioCodec = avcodec_get_name(par->codec_id);
      s.sampleRate = par->sample_rate;
      s.channels = par->ch_layout.nb_channels;
      blockAlign = par->block_align > 0 ? par->block_align : 1;
    }
  }
  AVPacket* packet = av_packet_alloc();
  while (av_read_frame(context, packet) >= 0) {
    if (packet->stream_index == video && packet->size > 0) {
      ++s.videoFrames;
      if (packet->flags & AV_PKT_FLAG_KEY) ++s.keyFrames;
    } else if (packet->stream_index == audio) {
      s.audioSamples += packet->size / blockAlign;
    }
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  avformat_close_input(&context);
  return s;
}
