#include "AviMuxWriter.h"

#include <algorithm>

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

// Size of the I/O buffer: what the sink receives per write at most.
constexpr int kIoBufferSize = 64 * 1024;
constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;
// Audio timing jitter taken as continuous: up to one recorder audio block (40 ms).
constexpr REFERENCE_TIME kAudioJitter = 400000;
// The longest gap filled with silence; beyond it the times are not trusted (10 minutes).
constexpr REFERENCE_TIME kMaxAudioGap = 600 * kUnitsPerSecond;
constexpr size_t kSilenceBufferSize = 16 * 1024;
constexpr uint8_t kUnsignedSilence = 0x80;

}  // namespace

AviMuxWriter::~AviMuxWriter() {
  Reset();
  av_packet_free(&m_packet);
}

bool AviMuxWriter::EnsureContext() {
  if (m_context) return true;
  if (!m_packet && !(m_packet = av_packet_alloc())) return false;
  if (avformat_alloc_output_context2(&m_context, nullptr, "avi", nullptr) < 0) return false;
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
  if (buffer) {
    m_io = avio_alloc_context(buffer, kIoBufferSize, 1, this, nullptr, &WritePacketCallback,
                              &SeekCallback);
  }
  if (!m_io) {
    av_free(buffer);
    avformat_free_context(m_context);
    m_context = nullptr;
    return false;
  }
  m_context->pb = m_io;
  m_context->flags |= AVFMT_FLAG_CUSTOM_IO;
  return true;
}

int AviMuxWriter::AddStream(const CMediaType& mt) {
  if (m_begun || !EnsureContext()) return -1;
  Stream stream;
  if (FAILED(DescribeAviStream(mt, nullptr, &stream.format))) return -1;
  AVStream* st = avformat_new_stream(m_context, nullptr);
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
  if (!m_context || m_streams.empty()) return E_FAIL;
  if (avformat_write_header(m_context, nullptr) < 0) return FAILED(m_sinkResult) ? m_sinkResult : E_FAIL;
  m_begun = true;
  return m_sinkResult;
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
  AVStream* st = m_context->streams[stream];
  av_packet_unref(m_packet);
  m_packet->data = const_cast<uint8_t*>(data);
  m_packet->size = length;
  m_packet->stream_index = stream;
  m_packet->pts = m_packet->dts = av_rescale_q(position, s.format.timeBase, st->time_base);
  m_packet->duration = av_rescale_q(s.next - position, s.format.timeBase, st->time_base);
  m_packet->flags = keyFrame ? AV_PKT_FLAG_KEY : 0;
  const int result = av_write_frame(m_context, m_packet);
  m_packet->data = nullptr;
  m_packet->size = 0;
  if (FAILED(m_sinkResult)) return m_sinkResult;
  return result < 0 ? E_FAIL : S_OK;
}

HRESULT AviMuxWriter::Finish() {
  if (!m_begun) return E_UNEXPECTED;
  if (m_finished) return S_OK;
  m_finished = true;
  const int result = av_write_trailer(m_context);
  if (FAILED(m_sinkResult)) return m_sinkResult;
  return result < 0 ? E_FAIL : S_OK;
}

void AviMuxWriter::Reset() {
  if (m_io) {
    av_freep(&m_io->buffer);
    avio_context_free(&m_io);
  }
  if (m_context) {
    m_context->pb = nullptr;
    avformat_free_context(m_context);
    m_context = nullptr;
  }
  m_streams.clear();
  m_position = 0;
  m_size = 0;
  m_sinkResult = S_OK;
  m_begun = false;
  m_finished = false;
}

int AviMuxWriter::WritePacketCallback(void* opaque, uint8_t* data, int length) {
  auto* self = static_cast<AviMuxWriter*>(opaque);
  if (FAILED(self->m_sinkResult)) return AVERROR(EIO);
  const HRESULT hr = self->m_sink->WriteAt(self->m_position, data, length);
  if (FAILED(hr)) {
    self->m_sinkResult = hr;
    return AVERROR(EIO);
  }
  self->m_position += length;
  self->m_size = std::max(self->m_size, self->m_position);
  return length;
}

int64_t AviMuxWriter::SeekCallback(void* opaque, int64_t offset, int whence) {
  auto* self = static_cast<AviMuxWriter*>(opaque);
  if (whence & AVSEEK_SIZE) return self->m_size;
  int64_t target = -1;
  switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET: target = offset; break;
    case SEEK_CUR: target = self->m_position + offset; break;
    case SEEK_END: target = self->m_size + offset; break;
    default: return AVERROR(EINVAL);
  }
  if (target < 0) return AVERROR(EINVAL);
  self->m_position = target;
  return target;
}
