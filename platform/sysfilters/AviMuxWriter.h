// AviMuxWriter: libavformat's AVI muxer writing through a byte sink (SinkIo) instead of a file.
// The muxer seeks back at the end to patch the header and write the index; those writes reach
// the sink with their earlier positions.
//
// Use: AddStream for each input (in stream order), Begin, WritePacket as data arrives, Finish.
// Reset returns to the initial state (used between runs). Not thread-safe: the multiplexer
// filter serialises every call under its lock.
#pragma once

#include <cstdint>
#include <vector>

#include "AviStreamFormat.h"
#include "SinkIo.h"

class AviMuxWriter {
 public:
  explicit AviMuxWriter(AviByteSink* sink) : m_out(sink) {}
  AviMuxWriter(const AviMuxWriter&) = delete;
  AviMuxWriter& operator=(const AviMuxWriter&) = delete;

  // The index of the new stream, or -1 when the type is not one an AVI file holds (or after
  // Begin).
  int AddStream(const CMediaType& mt);
  // Writes the header. E_FAIL without streams or when libavformat refuses.
  HRESULT Begin();
  // One packet of stream `stream` starting at `start` (100 ns units; a negative start follows
  // on from the stream's previous packet). Video goes to the frame slot of its time (skipped
  // slots become empty frames); PCM audio is stored back to back, and a gap in its times (lost
  // data upstream) is filled with silence first, so sound stays in step with the pictures.
  HRESULT WritePacket(int stream, const uint8_t* data, int length, REFERENCE_TIME start,
                      bool keyFrame);
  // Writes the index and patches the header; the file is complete afterwards.
  HRESULT Finish();
  void Reset();

  bool Begun() const { return m_begun; }
  bool Finished() const { return m_finished; }
  int64_t BytesWritten() const { return m_out.Size(); }

 private:
  struct Stream {
    AviStreamFormat format;
    int64_t next = 0;  // the position in format.timeBase units the next packet gets
    uint8_t silence = 0;  // the byte value of silent PCM; only with format.pcm
  };
  int64_t NextPosition(Stream& stream, REFERENCE_TIME start, int length) const;
  HRESULT Write(int stream, const uint8_t* data, int length, int64_t position, bool keyFrame);
  // Silence up to the sample frame `start` falls on, when it lies clearly past the stream's end.
  HRESULT FillAudioGap(int stream, REFERENCE_TIME start);

  SinkOutput m_out;
  std::vector<uint8_t> m_silence;  // made on the first gap, reused
  std::vector<Stream> m_streams;
  bool m_begun = false;
  bool m_finished = false;
};
