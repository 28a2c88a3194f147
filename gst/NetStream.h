// NetStream: one recorder URL played through the network source's back-end sessions without
// DirectShow. It opens the session the URL selects, waits for the stream's first group as the
// network source filter does, and then hands out the completed FileHeader and the queued
// stream one node at a time. It stands where the filter's output pin stands: it drives the
// session's state and seeks and answers the session's questions about positions.
//
// Locks: lock_ serialises session control, fills and seeks, as the output pin's lock does for
// the filter; WaitForData and Wake run without it. The session's own locks are inside it.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "SessionFactory.h"
#include "StreamReadyEvent.h"

namespace recastgst {

class NetStream final : public netsource::SessionPin {
 public:
  // The five schemes, as GStreamer lists the protocols of a URI handler.
  static const char* const kProtocols[];

  NetStream() = default;
  ~NetStream();
  NetStream(const NetStream&) = delete;
  NetStream& operator=(const NetStream&) = delete;

  // The URI with its scheme spelled as the sessions read it ("ntrt", "Real", ...), whatever
  // case it was written in; nothing when the scheme is none of the five.
  static std::optional<std::string> Canonical(std::string_view uri);
  // Whether the URI names a source the sessions can be asked for (scheme and fields), and
  // whether that source is recorded; the reason when not.
  static bool Check(std::string_view uri, bool& recorded, std::string& reason);

  // Opens the session and waits for its first group. False with the reason when the URL is
  // bad, the back end refuses or sends no playable stream in time.
  [[nodiscard]] bool Open(std::string_view uri, std::string& reason);
  // Stops the session and lets it go (any thread but one blocked in WaitForData).
  void Close();

  bool Recorded() const { return selection_.recorded != 0; }
  // Recorded sessions reposition: a recorder playback by percent of its length, a stream
  // server by whole seconds.
  bool Seekable() const { return Recorded(); }
  // The back end's length in 100 ns units; 0 when it is not known (live streams).
  LONGLONG Duration();
  netsource::HeaderBytes Header() const { return header_; }

  // One queued node into `target`: S_OK, netsource::NETSRC_S_NODATA, or an error.
  HRESULT Fill(netsource::FillTarget& target);
  // Sleeps until data is queued, Wake is called or `timeout` passes.
  void WaitForData(std::chrono::milliseconds timeout);
  void Wake();

  // State changes of the element; the session decides what each means to its back end.
  HRESULT Run();
  HRESULT Pause();
  // Called once before the first fill: the stream is about to be read.
  void StreamStarts();
  // Moves a recorded stream to `position` (100 ns): the session pauses, then repositions and
  // plays on with its queue flushed.
  HRESULT Seek(LONGLONG position);

  // netsource::SessionPin.
  LONG BufferLimit() const override { return netsource::kDefaultNodeCount; }
  HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;

 private:
  mutable std::mutex lock_;
  const std::shared_ptr<netsource::StreamReadyEvent> ready_ =
      std::make_shared<netsource::StreamReadyEvent>();
  std::unique_ptr<netsource::StreamSession> session_;  // guarded by lock_
  netsource::SourceSelection selection_;
  netsource::HeaderBytes header_{};
  LONGLONG start_ = 0;  // the seek target; guarded by lock_
  LONGLONG stop_ = 0;   // the session's length when the seek began; guarded by lock_
};

}  // namespace recastgst
