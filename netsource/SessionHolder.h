// SessionHolder: the output pin's hold on its back-end session.
#pragma once

#include <memory>

#include "StreamSession.h"

namespace netsource {

// The pin's hold on its session: bound once by Load. Without a session, E_FAIL for the
// operations, -1 for the duration, 0 for BeforeFill, nothing for the rest.
class SessionHolder {
 public:
  HRESULT Bind(std::unique_ptr<StreamSession> session);
  bool HasSession() const { return session_ != nullptr; }

  HRESULT Run() { return session_ ? session_->Run() : E_FAIL; }
  HRESULT Pause() { return session_ ? session_->Pause() : E_FAIL; }
  HRESULT Stop() { return session_ ? session_->Stop() : E_FAIL; }
  HRESULT ChangeStart() { return session_ ? session_->ChangeStart() : E_FAIL; }
  HRESULT FillBuffer(FillTarget& target) { return session_ ? session_->FillBuffer(target) : E_FAIL; }
  HRESULT GetHeader(uint8_t* destination) {
    if (!session_) return E_FAIL;
    return session_->GetHeader(destination) ? S_OK : E_FAIL;
  }
  LONGLONG GetDuration() { return session_ ? session_->GetDuration() : -1; }
  LONG BeforeFill() { return session_ ? session_->BeforeFill() : 0; }
  void AfterNoData() {
    if (session_) session_->AfterNoData();
  }
  void OnStreamStart() {
    if (session_) session_->OnStreamStart();
  }
  void WaitForData(std::chrono::milliseconds timeout);
  void WakeConsumer() {
    if (session_) session_->WakeConsumer();
  }

 private:
  std::unique_ptr<StreamSession> session_;
};

}  // namespace netsource
