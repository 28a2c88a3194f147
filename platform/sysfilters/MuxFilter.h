// MuxFilter: the frame every multiplexer filter shares: input pins feeding one byte-stream output
// pin for the "File writer" downstream. Bytes go downstream as samples whose start and stop
// times are the byte range they occupy in the file (WriteAt, through ByteDelivery.h).
//
// Classes:
//   MuxFilter       the filter. Owns the pins, the filter lock and the mux lock, answers
//                   IMediaSeeking (duration and seeking go upstream through the first input,
//                   the current position is MuxedTime) and drives the run: PrepareLocked when
//                   the filter leaves Stopped, ConcludeLocked when a run is stopped with its
//                   output still connected, so what was muxed stays playable.
//   MuxInputPin     an input that hands its samples and end of stream to the filter (MuxPins.h).
//   MuxOutputPin    the byte-stream output (MuxPins.h).
//
// Derive from MuxFilter; make the inputs with AddInput (in the constructor, or later as a
// dynamic filter needs them); must override PrepareLocked, ConcludeLocked, MuxedTime, Receive
// and EndOfStream. The writer a subclass owns takes the filter as its byte sink.
//
// Locks: m_lock is the filter lock; m_muxLock (after m_lock) guards the subclass's writer and
// stream state and is held while bytes are delivered downstream.
#pragma once

#include <mutex>
#include <vector>

#include "Filter.h"
#include "SinkIo.h"

class MuxInputPin;
class MuxOutputPin;

// What makes a multiplexer's output pin.
struct MuxOutputInfo {
  const char* objectName;
  LPCWSTR pinName;
  // The byte stream's subtype; GUID_NULL offers an untyped stream and accepts any.
  const GUID* subtype;
};

class MuxFilter : public CBaseFilter, protected AviByteSink {
 public:
  MuxFilter(const char* name, IUnknown* outer, REFCLSID clsid, const MuxOutputInfo& output);
  ~MuxFilter() override;

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // Inputs first, then the output.
  int GetPinCount() override;
  CBasePin* GetPin(int n) override;

  HRESULT Pause() override;
  HRESULT Stop() override;

  // True when construction made the output and at least `inputs` inputs.
  bool HasPins(size_t inputs);

  // The time muxed so far (100 ns units); the seeking position.
  virtual REFERENCE_TIME MuxedTime() = 0;

  // From the input pins, on their streaming threads.
  virtual HRESULT Receive(MuxInputPin* pin, IMediaSample* sample) = 0;
  virtual HRESULT EndOfStream(MuxInputPin* pin) = 0;

 protected:
  // Takes ownership of `pin` (null when it could not be made: then false).
  bool AddInput(MuxInputPin* pin);
  MuxOutputPin* Output() const { return m_pOutput; }
  // The inputs in pin order; read under m_lock.
  const std::vector<MuxInputPin*>& InputsLocked() const { return m_inputs; }

  // Under m_muxLock as the filter leaves Stopped: reset the run and take the connected types.
  // A failure keeps the filter stopped.
  virtual HRESULT PrepareLocked() = 0;
  // Under m_muxLock when a run that was not stopped is stopped while the output is connected:
  // finish what was muxed.
  virtual void ConcludeLocked() = 0;

  // Records the run's first failure, says `what` on the debug output and aborts the graph.
  HRESULT FailLocked(HRESULT hr, const char* what);

  CCritSec m_lock;  // the filter lock
  std::mutex m_muxLock;
  HRESULT m_error = S_OK;  // guarded by m_muxLock: the run's first streaming failure

 private:
  HRESULT WriteAt(int64_t position, const uint8_t* data, int length) override;

  // Pins: created under m_lock (or in the constructor), never removed before the filter goes.
  std::vector<MuxInputPin*> m_inputs;
  MuxOutputPin* m_pOutput = nullptr;
  IUnknown* m_pPosition = nullptr;  // the seeking object's inner unknown; made under m_lock
};
