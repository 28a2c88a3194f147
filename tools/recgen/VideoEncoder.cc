#include "VideoEncoder.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace recgen {

namespace {

// The fastest x264 settings keep minutes of test video cheap to make; no scene cuts, so key
// frames fall only where the group layout puts them.
constexpr const char* kX264Preset = "ultrafast";
constexpr const char* kX264Params = "scenecut=0";
constexpr int kMpeg4Quantiser = 4;

const AVCodec* FindVideoEncoder(VideoCodec codec) {
  if (codec == VideoCodec::H264) {
    if (const AVCodec* x264 = avcodec_find_encoder_by_name("libx264")) return x264;
    return avcodec_find_encoder(AV_CODEC_ID_H264);
  }
  return avcodec_find_encoder(AV_CODEC_ID_MPEG4);
}

}  // namespace

const char* VideoExtension(VideoCodec codec) { return codec == VideoCodec::H264 ? "h264" : "m4v"; }

VideoEncoder::VideoEncoder(const VideoSettings& settings)
    : settings_(settings), pictures_(settings.width, settings.height) {
  Open();
}

const char* VideoEncoder::EncoderName() const { return context_->codec->name; }

void VideoEncoder::Open() {
  const AVCodec* codec = FindVideoEncoder(settings_.codec);
  if (!codec) throw std::runtime_error("libavcodec has no encoder for this video codec");
  context_.reset(avcodec_alloc_context3(codec));
  packet_.reset(av_packet_alloc());
  if (!context_ || !packet_) throw std::runtime_error("cannot allocate the video encoder");
  AVCodecContext* c = context_.get();
  c->width = settings_.width;
  c->height = settings_.height;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->time_base = AVRational{1, settings_.fps};
  c->framerate = AVRational{settings_.fps, 1};
  c->gop_size = settings_.gopFrames;
  c->keyint_min = settings_.gopFrames;
  c->max_b_frames = 0;
  c->thread_count = 1;
  c->flags |= AV_CODEC_FLAG_BITEXACT;
  if (settings_.codec != VideoCodec::H264) {
    c->flags |= AV_CODEC_FLAG_QSCALE;
    c->global_quality = FF_QP2LAMBDA * kMpeg4Quantiser;
  }
  if (std::string(codec->name) == "libx264") {
    av_opt_set(c->priv_data, "preset", kX264Preset, 0);
    av_opt_set(c->priv_data, "x264-params", kX264Params, 0);
    av_opt_set_int(c->priv_data, "forced-idr", 1, 0);
  }
  CheckAv(avcodec_open2(c, codec, nullptr), std::string("open video encoder ") + codec->name);
}

EncodedFrame VideoEncoder::Next() {
  while (ready_.empty()) {
    if (sent_ < settings_.frames) {
      SendNextPicture();
    } else if (!flushed_) {
      CheckAv(avcodec_send_frame(context_.get(), nullptr), "flush video encoder");
      flushed_ = true;
      Drain();
    } else {
      throw std::runtime_error("the video encoder returned fewer frames than it was given");
    }
  }
  EncodedFrame frame = std::move(ready_.front());
  ready_.pop_front();
  return frame;
}

void VideoEncoder::SendNextPicture() {
  AVFrame* picture = pictures_.Render(sent_);
  const bool key = sent_ % settings_.gopFrames == 0;
  picture->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
  picture->quality = context_->global_quality;
  CheckAv(avcodec_send_frame(context_.get(), picture), "encode video frame");
  ++sent_;
  Drain();
}

void VideoEncoder::Drain() {
  for (;;) {
    const int status = avcodec_receive_packet(context_.get(), packet_.get());
    if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return;
    CheckAv(status, "receive video packet");
    EncodedFrame frame;
    frame.data.assign(packet_->data, packet_->data + packet_->size);
    frame.key = (packet_->flags & AV_PKT_FLAG_KEY) != 0;
    ready_.push_back(std::move(frame));
    av_packet_unref(packet_.get());
  }
}

}  // namespace recgen
