// CQrlNetSplitter: the push splitter. One input pin takes the recorder stream from the
// network source; the group parser turns it into timed video and audio samples, which leave
// through the two output pins on the upstream filter's streaming thread.
//
// Pins: 0 the input ("Stream Input"), 1 the video output ("Video Out"), 2 the audio output
// ("Audio Out"); created together on the first request for any of them.
//
// Locks: m_lock is the filter lock, shared with the pins (state changes, connections, the
// stored format). The parser serialises Receive and Reset itself and takes no other lock, so
// Stop and Pause reset it before the base class takes the filter lock.
#pragma once

#include <memory>

#include "Filter.h"
#include "GroupParser.h"
#include "OutputTypes.h"
#include "PinSampleOutput.h"
#include "SplitterPins.h"

DEFINE_GUID(CLSID_QrlNetSplitter, 0xF774A5BC, 0x37DE, 0x49CB, 0x9E, 0xA1, 0x25, 0x21, 0x57, 0x08,
            0x8C, 0xB1);

namespace splitter {

class CQrlNetSplitter : public CBaseFilter {
 public:
  // A new filter with its assembly buffer; nullptr and E_OUTOFMEMORY in *phr without memory.
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);
  ~CQrlNetSplitter() override;

  int GetPinCount() override { return kPinCount; }
  CBasePin* GetPin(int n) override;
  // Each start begins anew: a search for a resumable group, silence, both clocks at 0.
  HRESULT Stop() override;
  HRESULT Pause() override;

  // For the pins.
  void SetConnectionHeader(const recorder::FileHeader& header);
  // The stored format, when the input pin is connected.
  bool ConnectedFormat(ConnectionFormat& format);
  GroupParser& Parser() { return *m_parser; }
  // Start time of the next video sample.
  REFERENCE_TIME VideoClock() const { return m_parser->VideoClock(); }

 private:
  static constexpr int kPinCount = 3;

  CQrlNetSplitter(IUnknown* outer, HRESULT* phr);
  HRESULT CreatePins();

  CCritSec m_lock;
  PinSampleOutput m_videoOutput;
  PinSampleOutput m_audioOutput;
  std::unique_ptr<GroupParser> m_parser;
  // Guarded by m_lock; the pins are created once and live as long as the filter.
  std::unique_ptr<CSplitterInputPin> m_input;
  std::unique_ptr<CSplitterOutputPin> m_video;
  std::unique_ptr<CSplitterOutputPin> m_audio;
  ConnectionFormat m_format;
};

}  // namespace splitter
