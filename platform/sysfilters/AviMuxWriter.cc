#include "AviMuxWriter.h"

#include <algorithm>

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;
// Audio timing jitter taken as continuous: up to one recorder audio block (40 ms).
constexpr REFERENCE_TIME kAudioJitter = 400000;
// The longest gap filled with silence; beyond it the times are not trusted (10 minutes).
constexpr REFERENCE_TIME kMaxAudioGap = 600 * kUnitsPerSecond;
constexpr size_t kSilenceBufferSize = 16 * 1024;
constexpr uint8_t kUnsignedSilence = 0x80;

}  // namespace

int AviMuxWriter::AddStream(const CMediaType& mt) {
  if (m_begun || !m_out.Ensure("avi")) return -1;
  Stream stream;
  if (FAILED(DescribeAviStream(mt, nullptr, &stream.format))) return -1;
  AVStream* st = avformat_new_stream(m_out.Context(), nullptr);
  if (!st) return -1;
  if (FAILED(DescribeAviStream(mt, st->codecpar, &stream.format))) return -1;
  st->time_base = stream.format.timeBase;
  if (stream.format.type == AVMEDIA_TYPE_VIDEO) {
    st->avg_frame_rate = av_inv_q(stream.format.timeBase);
  }
  stream.silence = stream.format.unsignedPcm ? kUnsignedSilence : 0;
  m_streams.push_back(stream);
  return static_cast<int>(m_streams.size()) - 1;
}

HRESULT AviMuxWriter::Begin() {
  if (m_begun) return S_OK;
  if (!m_out.Context() || m_streams.empty()) return E_FAIL;
  const int result = avformat_write_header(m_out.Context(), nullptr);
  if (result < 0) return m_out.Result(result);
  // Written, though the sink may have refused part of it: the run still needs its Finish.
  m_begun = true;
  return m_out.Result(result);
}

int64_t AviMuxWriter::NextPosition(Stream& stream, REFERENCE_TIME start, int length) const {
  const AviStreamFormat& f = stream.format;
  int64_t position = stream.next;
  int64_t units = 1;
  if (f.type == AVMEDIA_TYPE_VIDEO) {
    // A frame goes to its slot by time; the muxer fills skipped slots with empty frames.
    if (start >= 0) {
      position = std::max(position, (start + f.frameDuration / 2) / f.frameDuration);
    }
  } else {
    // Audio is stored back to back: its position is the sample frames written so far.
    units = f.blockAlign > 0 ? std::max(1, length / f.blockAlign) : 1;
  }
  stream.next = position + units;
  return position;
}

HRESULT AviMuxWriter::WritePacket(int stream, const uint8_t* data, int length,
                                  REFERENCE_TIME start, bool keyFrame) {
  if (!m_begun || m_finished) return E_UNEXPECTED;
  if (stream < 0 || stream >= static_cast<int>(m_streams.size()) || length < 0)
    return E_INVALIDARG;
  Stream& s = m_streams[stream];
  if (s.format.pcm && start >= 0) {
    const HRESULT hr = FillAudioGap(stream, start);
    if (FAILED(hr)) return hr;
  }
  return Write(stream, data, length, NextPosition(s, start, length), keyFrame);
}

HRESULT AviMuxWriter::FillAudioGap(int stream, REFERENCE_TIME start) {
  Stream& s = m_streams[stream];
  const AVRational& tb = s.format.timeBase;
  const int64_t reached = av_rescale(s.next, tb.num * kUnitsPerSecond, tb.den);
  const REFERENCE_TIME gap = start - reached;
  if (gap <= kAudioJitter || gap > kMaxAudioGap) return S_OK;
  m_silence.resize(kSilenceBufferSize);
  std::fill(m_silence.begin(), m_silence.end(), s.silence);
  const int64_t chunkFrames = static_cast<int64_t>(m_silence.size()) / s.format.blockAlign;
  int64_t frames = av_rescale(gap, tb.den, tb.num * kUnitsPerSecond);
  while (frames > 0) {
    const int64_t now = std::min(frames, chunkFrames);
    const int bytes = static_cast<int>(now * s.format.blockAlign);
    const HRESULT hr = Write(stream, m_silence.data(), bytes, NextPosition(s, -1, bytes), true);
    if (FAILED(hr)) return hr;
    frames -= now;
  }
  return S_OK;
}

HRESULT AviMuxWriter::Write(int stream, const uint8_t* data, int length, int64_t position,
                            bool keyFrame) {
  Stream& s = m_streams[stream];
  AVStream* st = m_out.Context()->streams[stream];
  AVPacket* packet = m_out.Packet();
  av_packet_unref(packet);
  packet->data = const_cast<uint8_t*>(data);
  packet->size = length;
  packet->stream_index = stream;
  packet->pts = packet->dts = av_rescale_q(position, s.format.timeBase, st->time_base);
  packet->duration = av_rescale_q(s.next - position, s.format.timeBase, st->time_base);
  packet->flags = keyFrame ? AV_PKT_FLAG_KEY : 0;
  const int result = av_write_frame(m_out.Context(), packet);
  packet->data = nullptr;
  packet->size = 0;
  return m_out.Result(result);
}

HRESULT AviMuxWriter::Finish() {
  if (!m_begun) return E_UNEXPECTED;
  if (m_finished) return S_OK;
  m_finished = true;
  return m_out.Result(av_write_trailer(m_out.Context()));
}

void AviMuxWriter::Reset() {
  m_out.Reset();
  m_streams.clear();
  m_begun = false;
  m_finished = false;
}
