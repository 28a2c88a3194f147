// SinkIo: a libavformat I/O context that writes into a byte sink instead of a file. Every flush
// of its buffer goes to the sink with the byte position it belongs at; a muxer seeking back to
// patch a header or size field writes there through the sink in the same way.
#pragma once

#include <cstdint>

#include "AviMuxWriter.h"

struct AVIOContext;

class SinkIo {
 public:
  explicit SinkIo(AviByteSink* sink) : m_sink(sink) {}
  ~SinkIo() { Close(); }
  SinkIo(const SinkIo&) = delete;
  SinkIo& operator=(const SinkIo&) = delete;

  // The context for AVFormatContext::pb; null when it cannot be made.
  AVIOContext* Open();
  void Close();

  // The sink's first failure, or S_OK.
  HRESULT SinkResult() const { return m_sinkResult; }
  int64_t Size() const { return m_size; }

 private:
  static int WriteCallback(void* opaque, uint8_t* data, int length);
  static int64_t SeekCallback(void* opaque, int64_t offset, int whence);

  AviByteSink* const m_sink;
  AVIOContext* m_io = nullptr;
  int64_t m_position = 0;  // where the next flushed bytes go
  int64_t m_size = 0;      // end of the furthest byte written
  HRESULT m_sinkResult = S_OK;
};
