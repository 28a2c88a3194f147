// ServerStreamSession: a stream from an RTSP stream server ("svrt://", "svfl://") through the
// stream client library. Open creates a player, opens the URL, waits for the library's
// confirmation and plays; Pause and Run pause and resume the player; a seek while paused
// resumes it and jumps to the start position in whole seconds.
//
// The library's user datum is a 32-bit int, so callbacks find the session's feed through the
// callback table by key, never through a pointer. The StreamSink the library calls lives in a
// process-wide pool, because the library may still call it (a lost connection) after the
// player has been stopped.
#pragma once

#include <string>

#include "CallbackTable.h"
#include "StreamSession.h"
#include "client/StreamClient.h"

namespace netsource {

class ServerSink;

class ServerStreamSession final : public StreamSession {
 public:
  explicit ServerStreamSession(const SessionContext& context);
  ~ServerStreamSession() override;

  bool Open(const std::string& serverUrl);

  HRESULT Run() override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT ChangeStart() override;
  LONGLONG GetDuration() override;

 private:
  HRESULT PlayerStart();
  void ForgetPlayer();

  std::string serverUrl_;
  const int32_t key_;
  ServerSink* const sink_;  // borrowed from the pool for the session's life
  int player_ = -1;
  SessionState state_ = SessionState::Opened;
};

// The session's DataCallBack: header (0) and stream data (1) into the feed named by userData.
int ServerDataCallBack(int handle, int userData, int dataType, unsigned char* buffer, int length);

// Whole seconds of `current` (100 ns) in 1/64 s, low 32 bits, as the library takes positions.
int ServerSeekPosition(LONGLONG current);

}  // namespace netsource
