#include "SessionHolder.h"

#include <thread>

namespace netsource {

HRESULT SessionHolder::Bind(std::unique_ptr<StreamSession> session) {
  if (!session || session_) return E_FAIL;
  session_ = std::move(session);
  return S_OK;
}

void SessionHolder::WaitForData(std::chrono::milliseconds timeout) {
  if (session_) session_->WaitForData(timeout);
  else std::this_thread::sleep_for(timeout);
}

}  // namespace netsource
