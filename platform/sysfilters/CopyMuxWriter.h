// CopyMuxWriter: libavformat's MP4 or Matroska muxer writing through a byte sink (SinkIo), for
// streams whose packets are already compressed: copied video, AAC or G.711 sound.
//
// Use: AddVideo/AddAudio for each stream, Begin, Write as packets arrive, Finish. Reset returns
// to the initial state (used between runs). Not thread-safe: the multiplexer filter serialises
// every call under its lock.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "CopyStreamFormat.h"
#include "SinkIo.h"

extern "C" {
#include <libavutil/rational.h>
}

class CopyMuxWriter {
 public:
  CopyMuxWriter(AviByteSink* sink, CopyContainer container) : m_out(sink), m_container(container) {}
  CopyMuxWriter(const CopyMuxWriter&) = delete;
  CopyMuxWriter& operator=(const CopyMuxWriter&) = delete;

  // The index of the new stream, or -1. `config` is the decoder configuration for the sample
  // description (DecoderConfiguration, or the AAC encoder's AudioSpecificConfig). Video times
  // are given in 100 ns units, audio times in samples.
  int AddVideo(const CopyStreamFormat& format, std::span<const uint8_t> config);
  int AddAac(int sampleRate, std::span<const uint8_t> config);
  int AddG711(const CopyStreamFormat& format);

  HRESULT Begin();
  // One packet; `pts` and `duration` in the stream's units (above). Times that do not advance
  // are moved on by one tick, as the containers need strictly increasing times.
  HRESULT Write(int stream, std::span<const uint8_t> data, int64_t pts, int64_t duration, bool key);
  // Writes the trailer (the MP4 index, the Matroska cues) and patches the header.
  HRESULT Finish();
  void Reset();

  bool Begun() const { return m_begun; }
  bool Finished() const { return m_finished; }
  int64_t BytesWritten() const { return m_out.Size(); }

 private:
  struct Stream {
    AVRational units{1, 1};  // the unit of the times given to Write
    int64_t lastDts = INT64_MIN;
  };
  int AddStream(AVRational units, std::span<const uint8_t> config);

  SinkOutput m_out;
  const CopyContainer m_container;
  std::vector<Stream> m_streams;
  bool m_begun = false;
  bool m_finished = false;
};
