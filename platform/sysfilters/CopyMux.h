// "MP4 Mux" (CLSID_Mp4Mux) and "Matroska Mux" (CLSID_MatroskaMux): the recorder's compressed
// video copied into an MP4 or Matroska stream on the output pin, for the "File writer"
// downstream, with the sound encoded to AAC at 16 kHz mono (Matroska keeps G.711 blocks as
// they are). Nothing of the picture is decoded, so the output loses nothing and costs little.
//
// Pins: "Video In" (recorder video samples), "Audio In" (PCM, or G.711 blocks for Matroska)
// and the output "Out". Either input may stay unconnected.
//
// Streaming: the output starts at the first key frame, whose time becomes time 0; sound before
// it is dropped, sound arriving earlier than it is held until it comes. The container header is
// written then (its sample description needs the key frame's parameter sets). Frames keep the
// times of the recording, so frames lost with a damaged group leave a gap rather than a shift.
// Once every connected input has ended the trailer is written and end of stream goes
// downstream. A run stopped before its inputs ended is finished the same way before the output
// stops, so what was muxed stays playable. Bytes go downstream as samples whose start and stop
// times are the byte range they occupy in the file.
//
// IMediaSeeking (on the filter and the output pin): duration and seeking go upstream through
// the video input; the current position is the time muxed so far.
//
// Locks: those of MuxFilter.h; m_muxLock also guards the encoder.
#pragma once

#include <vector>

#include "AacEncoder.h"
#include "CopyMuxWriter.h"
#include "MuxFilter.h"

class CopyMuxInputPin;

class CopyMux final : public MuxFilter {
 public:
  CopyMux(IUnknown* outer, CopyContainer container);
  static CUnknown* CreateMp4(IUnknown* outer, HRESULT* phr);
  static CUnknown* CreateMatroska(IUnknown* outer, HRESULT* phr);

  // Pins: the video input, the audio input, then the output.
  CopyContainer Container() const { return m_container; }
  // The time muxed so far (100 ns units, source time).
  REFERENCE_TIME MuxedTime() override;

  // From the pins.
  HRESULT Receive(MuxInputPin* pin, IMediaSample* sample) override;
  HRESULT EndOfStream(MuxInputPin* pin) override;

 private:
  struct InputState {
    bool connected = false;
    bool ended = false;
    CopyStreamFormat format;
    int stream = -1;           // writer stream once begun
    REFERENCE_TIME reached = 0;  // end time of the last sample taken
  };

  HRESULT PrepareLocked() override;
  void ConcludeLocked() override;
  HRESULT ReceiveVideoLocked(IMediaSample* sample, REFERENCE_TIME start, REFERENCE_TIME stop);
  HRESULT ReceiveAudioLocked(IMediaSample* sample, REFERENCE_TIME start);
  HRESULT BeginLocked(std::span<const uint8_t> videoConfig);
  HRESULT WriteAudioLocked(std::vector<EncodedPacket>& packets);
  HRESULT FinishLocked();

  const CopyContainer m_container;
  // The inputs, owned by the base.
  CopyMuxInputPin* m_pVideo = nullptr;
  CopyMuxInputPin* m_pAudio = nullptr;

  // Everything below is guarded by m_muxLock.
  CopyMuxWriter m_writer{this, m_container};
  AacEncoder m_aac;
  InputState m_video;
  InputState m_audio;
  // Time 0 of the output in source time: the first key frame (or the first sound without
  // video); -1 until known.
  REFERENCE_TIME m_origin = -1;
  // Source time of the first sound taken; sound packet times count from it.
  REFERENCE_TIME m_audioStart = -1;
  std::vector<EncodedPacket> m_pending;  // sound held until the origin is known
};
