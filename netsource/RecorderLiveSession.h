// RecorderLiveSession: live view of a recorder channel ("ntrt://") through the recorder SDK.
// Open logs in and starts the view; a Pause while running stops the view and the next Run
// starts a new one on the same login.
#pragma once

#include <string>

#include "RecorderSdk.h"
#include "StreamSession.h"

namespace netsource {

struct LiveViewTarget : RecorderAccount {
  int subStream = 0;
};

class RecorderLiveSession final : public StreamSession {
 public:
  explicit RecorderLiveSession(const SessionContext& context);
  ~RecorderLiveSession() override;

  bool Open(const LiveViewTarget& target);

  HRESULT Run() override;
  HRESULT Pause() override;
  HRESULT Stop() override;

 private:
  // RNS_RealPlay and the data callback, tracing failures.
  bool StartLiveView();

  LiveViewTarget target_;
  RNS_CLIENTINFO clientInfo_{};
  const int32_t key_;
  LONG loginId_ = -1;
  LONG realHandle_ = -1;
  SessionState state_ = SessionState::Opened;
};

}  // namespace netsource
