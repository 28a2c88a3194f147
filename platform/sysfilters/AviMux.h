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
// Locks: m_lock is the filter lock; m_muxLock (after m_lock) guards the writer and the stream
// state and is held while bytes are delivered downstream.
#pragma once

#include <mutex>
#include <vector>

#include "AviMuxWriter.h"
#include "Filter.h"

class AviMuxInputPin;
class AviMuxOutputPin;

class AviMux final : public CBaseFilter, private AviByteSink {
 public:
  explicit AviMux(IUnknown* outer);
  ~AviMux() override;
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // Inputs first, then the output.
  int GetPinCount() override;
  CBasePin* GetPin(int n) override;

  HRESULT Pause() override;
  HRESULT Stop() override;

  // The time muxed so far (100 ns units).
  REFERENCE_TIME MuxedTime();

  // From the pins.
  void InputConnected();
  HRESULT Receive(AviMuxInputPin* pin, IMediaSample* sample);
  HRESULT EndOfStream(AviMuxInputPin* pin);

 private:
  struct InputState {
    AviMuxInputPin* pin;
    int stream;                 // writer stream, -1 while not connected at the start
    bool ended;
    REFERENCE_TIME reached;     // end time of the last sample muxed
  };

  HRESULT WriteAt(int64_t position, const uint8_t* data, int length) override;
  HRESULT BeginLocked();
  HRESULT FinishLocked();
  InputState* StateOfLocked(AviMuxInputPin* pin);

  CCritSec m_lock;  // the filter lock
  // Pins: created under m_lock, never removed before the filter goes.
  std::vector<AviMuxInputPin*> m_inputs;
  AviMuxOutputPin* m_pOutput = nullptr;
  IUnknown* m_pPosition = nullptr;  // the seeking object's inner unknown; made under m_lock

  std::mutex m_muxLock;
  AviMuxWriter m_writer{this};        // guarded by m_muxLock
  std::vector<InputState> m_states;   // guarded by m_muxLock; one per input at the start
  HRESULT m_error = S_OK;             // guarded by m_muxLock: the first streaming failure
};
