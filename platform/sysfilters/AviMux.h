// "AVI Mux" (CLSID_AviDest): any number of audio and video inputs multiplexed into one AVI
// stream on the output pin, for the "File writer" downstream.
//
// Pins: inputs "Input 01", "Input 02", ... and the output "AVI Out". There is always exactly one
// free input: once the last free input is connected a new one is added, so a caller can connect
// streams one after another to the filter's free input.
//
// Streaming: the AVI header is written when the first sample arrives (every connected input is
// known then), each sample becomes one AVI chunk, and the index and the final header are written
// once every connected input has ended, followed by end of stream downstream. Bytes go
// downstream as samples whose start and stop times are the byte range they occupy in the file.
// A run stopped before its inputs ended still gets its index and header, so what was muxed
// stays playable (a run that muxed nothing leaves an empty but valid file); that is written
// before the output stops. A header, chunk, index or header rewrite that cannot be written sends
// EC_ERRORABORT with its error, and no end of stream follows.
//
// IMediaSeeking (on the filter and the output pin): duration and seeking go upstream through
// the first input; the current position is the time muxed so far (the least advanced input that
// has not ended, or the furthest once all have ended).
//
// Locks: those of MuxFilter.h.
#pragma once

#include <vector>

#include "AviMuxWriter.h"
#include "MuxFilter.h"

class AviMux final : public MuxFilter {
 public:
  explicit AviMux(IUnknown* outer);
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);

  REFERENCE_TIME MuxedTime() override;

  // From the pins.
  void InputConnected();
  HRESULT Receive(MuxInputPin* pin, IMediaSample* sample) override;
  HRESULT EndOfStream(MuxInputPin* pin) override;

 private:
  struct InputState {
    MuxInputPin* pin;
    int stream;                 // writer stream, -1 while not connected at the start
    bool ended;
    REFERENCE_TIME reached;     // end time of the last sample muxed
  };

  HRESULT PrepareLocked() override;
  void ConcludeLocked() override;
  HRESULT BeginLocked();
  HRESULT FinishLocked();
  InputState* StateOfLocked(MuxInputPin* pin);

  AviMuxWriter m_writer{this};        // guarded by m_muxLock
  std::vector<InputState> m_states;   // guarded by m_muxLock; one per input at the start
};
