#include "RecorderPlaybackSession.h"

#include <algorithm>

#include "recorder/StreamFormat.h"
#include "recorder/Trace.h"

namespace netsource {
namespace {

RNS_DEVICETIME ToSdkTime(const DeviceTime& time) {
  return {time.year, time.month, time.day, time.hour, time.minute, time.second};
}

}  // namespace

DWORD SeekPercent(LONGLONG current, LONGLONG stop) {
  if (stop <= 0) return 0;
  return static_cast<DWORD>(std::clamp<LONGLONG>(current * 100 / stop, 0, 100));
}

RecorderPlaybackSession::RecorderPlaybackSession(const SessionContext& context)
    : StreamSession(context, MakeFeed(context, SizeRule::TakeGroup, FillTraces::NoNode)),
      key_(RecorderCallbacks().Add(feed_)) {
  RNS_Init();
}

bool RecorderPlaybackSession::Open(const PlaybackTarget& target) {
  target_ = target;
  if (loginId_ < 0) {
    loginId_ = RecorderLogin(target_);
    if (loginId_ < 0) return false;
  }
  if (!OpenPlayback(true) || !StartDelivery()) return false;
  state_ = SessionState::Running;
  return true;
}

bool RecorderPlaybackSession::OpenPlayback(bool measure) {
  handle_ = RNS_PlayBackByName(loginId_, target_.fileName.c_str(), RNS_PACE_REAL_TIME);
  if (handle_ >= 0) {
    if (!measure) return true;
    DWORD seconds = 0;
    RNS_PlayBackControl(handle_, RNS_PLAY_GET_TOTAL_LEN, 0, &seconds);
    duration_ = static_cast<LONGLONG>(seconds) * recorder::kUnitsPerSecond;
    return duration_ > 0;
  }
  const TimeSpan span = ParseTimeSpan(target_.fileName);
  // A span that does not end after it starts has nothing to play.
  const int64_t seconds = SpanSeconds(span);
  if (seconds <= 0) return false;
  RNS_DEVICETIME start = ToSdkTime(span.start);
  RNS_DEVICETIME stop = ToSdkTime(span.stop);
  handle_ = RNS_PlayBackByTime(loginId_, target_.channel, &start, &stop, RNS_PACE_REAL_TIME);
  if (handle_ < 0) {
    handle_ = -1;
    return false;
  }
  if (measure) duration_ = seconds * recorder::kUnitsPerSecond;
  return true;
}

bool RecorderPlaybackSession::StartDelivery() {
  feed_->Resume();
  RNS_PlayBackControl(handle_, RNS_PLAY_START, 0, nullptr);
  return RNS_SetPlayDataCallBack(handle_, RecorderDataCallBack, RecorderUserValue(key_));
}

HRESULT RecorderPlaybackSession::Run() {
  if (state_ == SessionState::Paused) {
    if (!RNS_PlayBackControl(handle_, RNS_PLAY_RESUME, 0, nullptr)) return E_FAIL;
  } else if (state_ == SessionState::Stopped) {
    if (!OpenPlayback(false) || !StartDelivery()) return E_FAIL;
  }
  feed_->Resume();
  state_ = SessionState::Running;
  return S_OK;
}

HRESULT RecorderPlaybackSession::Pause() {
  if (state_ != SessionState::Running) return S_OK;
  if (!RNS_PlayBackControl(handle_, RNS_PLAY_PAUSE, 0, nullptr)) return E_FAIL;
  state_ = SessionState::Paused;
  return S_OK;
}

HRESULT RecorderPlaybackSession::Stop() {
  if (handle_ >= 0) {
    const bool wasHalted = feed_->Halted();
    feed_->Halt();
    if (!RNS_SetPlayDataCallBack(handle_, nullptr, nullptr) || !RNS_StopPlayBack(handle_)) {
      if (!wasHalted) feed_->Resume();
      return E_FAIL;
    }
  }
  feed_->Halt();  // the stopped flag: nothing more is queued until the stream starts again
  handle_ = -1;
  state_ = SessionState::Stopped;
  return S_OK;
}

HRESULT RecorderPlaybackSession::ChangeStart() {
  LONGLONG current = 0;
  LONGLONG stop = 0;
  if (pin_) pin_->GetPositions(&current, &stop);
  const DWORD percent = SeekPercent(current, stop);
  if (state_ == SessionState::Paused) {
    if (!RNS_PlayBackControl(handle_, RNS_PLAY_RESUME, 0, nullptr)) return E_FAIL;
    state_ = SessionState::Running;
  }
  feed_->Flush();
  if (percent == 0) {
    Stop();
    return Run();
  }
  return RNS_PlayBackControl(handle_, RNS_PLAY_SET_POS, percent, nullptr) ? S_OK : E_FAIL;
}

RecorderPlaybackSession::~RecorderPlaybackSession() {
  const HRESULT stopped = Stop();
  if (SUCCEEDED(stopped) && loginId_ >= 0) RecorderLogout(loginId_);
  // Even when the stop failed, no callback of this session may run past this point.
  feed_->Halt();
  RecorderCallbacks().Remove(key_);
  RNS_Cleanup();
}

}  // namespace netsource
