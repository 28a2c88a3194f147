#include "CopyMuxWriter.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

constexpr AVRational kReferenceTime{1, 10'000'000};
// MP4 keeps video times in this scale; Matroska chooses its own (milliseconds).
constexpr AVRational kVideoTimeBase{1, 90'000};

}  // namespace

int CopyMuxWriter::AddStream(AVRational units, std::span<const uint8_t> config) {
  if (m_begun || !m_out.Ensure(ContainerName(m_container))) return -1;
  AVStream* st = avformat_new_stream(m_out.Context(), nullptr);
  if (!st) return -1;
  if (!config.empty()) {
    st->codecpar->extradata =
        static_cast<uint8_t*>(av_mallocz(config.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!st->codecpar->extradata) return -1;
    std::copy(config.begin(), config.end(), st->codecpar->extradata);
    st->codecpar->extradata_size = static_cast<int>(config.size());
  }
  m_streams.push_back(Stream{units});
  return static_cast<int>(m_streams.size()) - 1;
}

int CopyMuxWriter::AddVideo(const CopyStreamFormat& format, std::span<const uint8_t> config) {
  const int index = AddStream(kReferenceTime, config);
  if (index < 0) return -1;
  AVStream* st = m_out.Context()->streams[index];
  st->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
  st->codecpar->codec_id =
      format.videoCodec == ElementaryCodec::H264 ? AV_CODEC_ID_H264 : AV_CODEC_ID_MPEG4;
  st->codecpar->width = format.width;
  st->codecpar->height = format.height;
  st->time_base = kVideoTimeBase;
  st->avg_frame_rate = av_inv_q(av_make_q(static_cast<int>(format.frameDuration), kReferenceTime.den));
  return index;
}

int CopyMuxWriter::AddAac(int sampleRate, std::span<const uint8_t> config) {
  const int index = AddStream(AVRational{1, sampleRate}, config);
  if (index < 0) return -1;
  AVStream* st = m_out.Context()->streams[index];
  st->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
  st->codecpar->codec_id = AV_CODEC_ID_AAC;
  st->codecpar->sample_rate = sampleRate;
  av_channel_layout_default(&st->codecpar->ch_layout, 1);
  st->time_base = AVRational{1, sampleRate};
  return index;
}

int CopyMuxWriter::AddG711(const CopyStreamFormat& format) {
  const int index = AddStream(AVRational{1, format.sampleRate}, {});
  if (index < 0) return -1;
  AVStream* st = m_out.Context()->streams[index];
  st->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
  st->codecpar->codec_id = format.aLaw ? AV_CODEC_ID_PCM_ALAW : AV_CODEC_ID_PCM_MULAW;
  st->codecpar->sample_rate = format.sampleRate;
  av_channel_layout_default(&st->codecpar->ch_layout, format.channels);
  st->codecpar->bits_per_coded_sample = 8;
  st->codecpar->block_align = format.channels;
  st->time_base = AVRational{1, format.sampleRate};
  return index;
}

HRESULT CopyMuxWriter::Begin() {
  if (m_begun) return S_OK;
  if (!m_out.Context() || m_streams.empty()) return E_FAIL;
  const HRESULT hr = m_out.Result(avformat_write_header(m_out.Context(), nullptr));
  m_begun = SUCCEEDED(hr);
  return hr;
}

HRESULT CopyMuxWriter::Write(int stream, std::span<const uint8_t> data, int64_t pts,
                             int64_t duration, bool key) {
  if (!m_begun || m_finished) return E_UNEXPECTED;
  if (stream < 0 || stream >= static_cast<int>(m_streams.size())) return E_INVALIDARG;
  Stream& s = m_streams[static_cast<size_t>(stream)];
  const AVRational tb = m_out.Context()->streams[stream]->time_base;
  int64_t dts = av_rescale_q(pts, s.units, tb);
  if (s.lastDts != INT64_MIN && dts <= s.lastDts) dts = s.lastDts + 1;
  s.lastDts = dts;
  // The interleaver keeps its own reference to the bytes.
  AVPacket* packet = m_out.Packet();
  if (av_new_packet(packet, static_cast<int>(data.size())) < 0) return E_OUTOFMEMORY;
  std::copy(data.begin(), data.end(), packet->data);
  packet->stream_index = stream;
  packet->pts = packet->dts = dts;
  packet->duration = av_rescale_q(duration, s.units, tb);
  packet->flags = key ? AV_PKT_FLAG_KEY : 0;
  return m_out.Result(av_interleaved_write_frame(m_out.Context(), packet));
}

HRESULT CopyMuxWriter::Finish() {
  if (!m_begun) return E_UNEXPECTED;
  if (m_finished) return S_OK;
  m_finished = true;
  return m_out.Result(av_write_trailer(m_out.Context()));
}

void CopyMuxWriter::Reset() {
  m_out.Reset();
  m_streams.clear();
  m_begun = false;
  m_finished = false;
}
