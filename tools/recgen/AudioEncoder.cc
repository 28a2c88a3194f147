#include "AudioEncoder.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace recgen {

AudioEncoder::AudioEncoder(const AudioCoding& coding) : coding_(coding), tone_(coding.sampleRate) {
  Open();
}

void AudioEncoder::Open() {
  const AVCodec* codec = avcodec_find_encoder(coding_.codecId);
  if (!codec) throw std::runtime_error(std::string("libavcodec has no encoder for ") + coding_.name);
  context_.reset(avcodec_alloc_context3(codec));
  packet_.reset(av_packet_alloc());
  frame_.reset(av_frame_alloc());
  if (!context_ || !packet_ || !frame_) throw std::runtime_error("cannot allocate the audio encoder");
  AVCodecContext* c = context_.get();
  c->sample_fmt = AV_SAMPLE_FMT_S16;
  c->sample_rate = coding_.sampleRate;
  c->ch_layout = AV_CHANNEL_LAYOUT_MONO;
  c->time_base = AVRational{1, coding_.sampleRate};
  c->bit_rate = coding_.bitRate;
  c->flags |= AV_CODEC_FLAG_BITEXACT;
  // Encoders with a free frame size take one block per frame.
  c->frame_size = coding_.BlockSamples();
  CheckAv(avcodec_open2(c, codec, nullptr), std::string("open audio encoder for ") + coding_.name);
}

std::vector<uint8_t> AudioEncoder::NextBlock() {
  while (encoded_.size() < coding_.blockBytes) EncodeMore();
  std::vector<uint8_t> block(encoded_.begin(), encoded_.begin() + coding_.blockBytes);
  encoded_.erase(encoded_.begin(), encoded_.begin() + coding_.blockBytes);
  return block;
}

void AudioEncoder::EncodeMore() {
  const int samples = context_->frame_size > 0 ? context_->frame_size : coding_.BlockSamples();
  av_frame_unref(frame_.get());
  frame_->format = AV_SAMPLE_FMT_S16;
  frame_->sample_rate = coding_.sampleRate;
  frame_->ch_layout = AV_CHANNEL_LAYOUT_MONO;
  frame_->nb_samples = samples;
  CheckAv(av_frame_get_buffer(frame_.get(), 0), "allocate audio frame");
  const std::vector<int16_t> pcm = tone_.Next(samples);
  std::memcpy(frame_->data[0], pcm.data(), pcm.size() * sizeof(int16_t));
  frame_->pts = samplesSent_;
  samplesSent_ += samples;
  CheckAv(avcodec_send_frame(context_.get(), frame_.get()), "encode audio frame");
  for (;;) {
    const int status = avcodec_receive_packet(context_.get(), packet_.get());
    if (status == AVERROR(EAGAIN)) return;
    CheckAv(status, "receive audio packet");
    encoded_.insert(encoded_.end(), packet_->data, packet_->data + packet_->size);
    av_packet_unref(packet_.get());
  }
}

}  // namespace recgen
