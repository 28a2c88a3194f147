#include "RecorderLiveSession.h"

#include <cstdio>

#include "DebugOutput.h"
#include "recorder/Trace.h"

namespace netsource {

RecorderLiveSession::RecorderLiveSession(const SessionContext& context)
    : StreamSession(context, MakeFeed(context, SizeRule::TakeGroup, FillTraces::Announce)),
      key_(RecorderCallbacks().Add(feed_)) {
  RNS_Init();
}

bool RecorderLiveSession::Open(const LiveViewTarget& target) {
  target_ = target;
  target_.user.resize(std::min<size_t>(target_.user.size(), 16));
  target_.password.resize(std::min<size_t>(target_.password.size(), 16));
  clientInfo_.channel = target.channel;
  clientInfo_.linkMode = target.subStream ? RNS_LINK_SUB : RNS_LINK_MAIN;
  clientInfo_.window = 0;
  clientInfo_.multicastAddress = nullptr;
  feed_->SetSizeRule(target.subStream ? SizeRule::Smaller : SizeRule::TakeGroup);
  if (loginId_ < 0) {
    loginId_ = RecorderLogin(target_);
    if (loginId_ < 0) return false;
  }
  if (!StartLiveView()) return false;
  ++LiveSessionCount();
  return true;
}

bool RecorderLiveSession::StartLiveView() {
  feed_->Resume();
  realHandle_ = RNS_RealPlay(loginId_, &clientInfo_);
  if (realHandle_ < 0) {
    recorder::TraceF("启动连接IP %s, 通道 %d 失败 nError = %d", target_.host.c_str(),
                     static_cast<int>(target_.channel), static_cast<int>(RNS_GetLastError()));
    realHandle_ = -1;
    return false;
  }
  if (!RNS_SetRealDataCallBack(realHandle_, RecorderDataCallBack, RecorderUserValue(key_))) {
    recorder::TraceF("连接IP %s, 通道 %d 失败", target_.host.c_str(),
                     static_cast<int>(target_.channel));
    return false;
  }
  return true;
}

HRESULT RecorderLiveSession::Run() {
  if (state_ == SessionState::Stopped) {
    if (!StartLiveView()) return E_FAIL;
    ++LiveSessionCount();
  }
  state_ = SessionState::Running;
  return S_OK;
}

HRESULT RecorderLiveSession::Pause() {
  if (state_ == SessionState::Running) return Stop();
  return S_OK;
}

HRESULT RecorderLiveSession::Stop() {
  if (realHandle_ < 0) return S_OK;
  // A callback waiting for room gives up, so the SDK's stop (which waits for it) returns.
  feed_->Halt();
  if (!RNS_StopRealPlay(realHandle_)) {
    char text[96];
    std::snprintf(text, sizeof text,
                  "jbtest=====================RNS_StopRealPlay ERROR, handle is %d",
                  static_cast<int>(realHandle_));
    OutputDebugStringA(text);
    feed_->Resume();
    return S_OK;
  }
  realHandle_ = -1;
  // The SDK refuses the invalid handle; that answer confirms the view is gone.
  if (!RNS_SetRealDataCallBack(-1, nullptr, nullptr)) {
    --LiveSessionCount();
    state_ = SessionState::Stopped;
  }
  return S_OK;
}

RecorderLiveSession::~RecorderLiveSession() {
  feed_->Halt();
  bool keepLogin = false;
  if (realHandle_ >= 0) {
    const bool stopped = RNS_StopRealPlay(realHandle_);
    const bool callbackRefused = !RNS_SetRealDataCallBack(-1, nullptr, nullptr);
    keepLogin = !stopped || !callbackRefused;
  }
  if (!keepLogin && loginId_ >= 0) RecorderLogout(loginId_);
  RecorderCallbacks().Remove(key_);
  // The SDK counts its initialisations, so every session undoes its own; the text marks the
  // clean-up that leaves no live view of this process.
  if (LiveSessionCount() == 0) OutputDebugStringA("jbtest====================RNS_Cleanup");
  RNS_Cleanup();
}

}  // namespace netsource
