// Muxing into a byte sink instead of a file.
//
// Classes:
//   SinkIo      a libavformat I/O context that writes into a byte sink. Every flush of its
//               buffer goes to the sink with the byte position it belongs at; a muxer seeking
//               back to patch a header or size field writes there through the sink in the same
//               way.
//   SinkOutput  a libavformat output context of a given format over a SinkIo, with the packet
//               a writer reuses for every write; what every muxer writer builds on.
#pragma once

#include <cstdint>

#include "Filter.h"

struct AVFormatContext;
struct AVIOContext;
struct AVPacket;

// Where a muxer's bytes go.
class AviByteSink {
 public:
  // Stores `length` bytes at byte `position` of the output; a failure stops the muxer.
  virtual HRESULT WriteAt(int64_t position, const uint8_t* data, int length) = 0;

 protected:
  ~AviByteSink() = default;
};

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

class SinkOutput {
 public:
  explicit SinkOutput(AviByteSink* sink) : m_io(sink) {}
  ~SinkOutput();
  SinkOutput(const SinkOutput&) = delete;
  SinkOutput& operator=(const SinkOutput&) = delete;

  // Makes the output context for `format` ("avi", "mp4", ...) unless there is one; false when
  // it cannot be made.
  bool Ensure(const char* format);
  // Frees the context (the packet is kept for the next run).
  void Reset();

  // Null before Ensure.
  AVFormatContext* Context() const { return m_context; }
  AVPacket* Packet() const { return m_packet; }
  // The sink's first failure, else E_FAIL for a failed libavformat call (`avResult` < 0).
  HRESULT Result(int avResult) const;
  int64_t Size() const { return m_io.Size(); }

 private:
  SinkIo m_io;
  AVFormatContext* m_context = nullptr;
  AVPacket* m_packet = nullptr;
};
