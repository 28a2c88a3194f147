// RecorderPlaybackSession: playback of a recording on a recorder ("ntfl://") through the
// recorder SDK, by file name or, when the recorder knows no file of that name, by the time
// span the name spells. Pause and Run pause and resume the playback; a seek moves it to a
// percentage of its length.
#pragma once

#include <string>

#include "RecorderSdk.h"
#include "SourceUrl.h"
#include "StreamSession.h"

namespace netsource {

struct PlaybackTarget : RecorderAccount {
  std::string fileName;
};

class RecorderPlaybackSession final : public StreamSession {
 public:
  explicit RecorderPlaybackSession(const SessionContext& context);
  ~RecorderPlaybackSession() override;

  bool Open(const PlaybackTarget& target);

  HRESULT Run() override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT ChangeStart() override;
  LONGLONG GetDuration() override { return duration_; }
  void OnStreamStart() override { feed_->Resume(); }

 private:
  // By name, else by time span; sets handle_ (and, with `measure`, duration_). False when no
  // playback could be opened or its length is not positive.
  bool OpenPlayback(bool measure);
  // Start command and data callback; false when the callback cannot be set.
  bool StartDelivery();

  PlaybackTarget target_;
  const int32_t key_;
  LONG loginId_ = -1;
  LONG handle_ = -1;
  LONGLONG duration_ = 0;  // 100 ns units
  SessionState state_ = SessionState::Opened;
};

// Percent of `stop` that `current` is, clamped to 0..100 (0 when stop is not positive).
DWORD SeekPercent(LONGLONG current, LONGLONG stop);

}  // namespace netsource
