#include "SinkIo.h"

#include <algorithm>

extern "C" {
#include <libavformat/avformat.h>
}

namespace {
// Size of the I/O buffer: what the sink receives per write at most.
constexpr int kIoBufferSize = 64 * 1024;
}  // namespace

AVIOContext* SinkIo::Open() {
  Close();
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
  if (!buffer) return nullptr;
  m_io = avio_alloc_context(buffer, kIoBufferSize, 1, this, nullptr, &WriteCallback, &SeekCallback);
  if (!m_io) av_free(buffer);
  return m_io;
}

void SinkIo::Close() {
  if (m_io) {
    av_freep(&m_io->buffer);
    avio_context_free(&m_io);
  }
  m_position = 0;
  m_size = 0;
  m_sinkResult = S_OK;
}

int SinkIo::WriteCallback(void* opaque, uint8_t* data, int length) {
  auto* self = static_cast<SinkIo*>(opaque);
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

int64_t SinkIo::SeekCallback(void* opaque, int64_t offset, int whence) {
  auto* self = static_cast<SinkIo*>(opaque);
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

SinkOutput::~SinkOutput() {
  Reset();
  av_packet_free(&m_packet);
}

bool SinkOutput::Ensure(const char* format) {
  if (m_context) return true;
  if (!m_packet && !(m_packet = av_packet_alloc())) return false;
  if (avformat_alloc_output_context2(&m_context, nullptr, format, nullptr) < 0) return false;
  m_context->pb = m_io.Open();
  if (!m_context->pb) {
    avformat_free_context(m_context);
    m_context = nullptr;
    return false;
  }
  m_context->flags |= AVFMT_FLAG_CUSTOM_IO;
  return true;
}

void SinkOutput::Reset() {
  if (m_context) {
    m_context->pb = nullptr;
    avformat_free_context(m_context);
    m_context = nullptr;
  }
  m_io.Close();
}

HRESULT SinkOutput::Result(int avResult) const {
  if (FAILED(m_io.SinkResult())) return m_io.SinkResult();
  return avResult < 0 ? E_FAIL : S_OK;
}
