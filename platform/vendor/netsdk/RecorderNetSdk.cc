// The RNS_ entry points over the process-wide tables of logins and streams. Table changes
// happen under one lock; anything that may wait (network, a running callback) happens after
// the lock is released, on objects the caller holds a reference to, so a callback may call
// back into the library.
#include "RecorderNetSdk.h"

#include <map>
#include <mutex>
#include <vector>

#include "SdkLogin.h"
#include "SdkStream.h"

namespace {

using netsdk::SdkLogin;
using netsdk::SdkStream;
using netsdk::StreamKind;

thread_local DWORD lastError = RNS_NOERROR;

struct StreamEntry {
  LONG loginId;
  std::shared_ptr<SdkStream> stream;
};

struct Tables {
  std::mutex lock;
  int initCount = 0;                                  // guarded by lock
  LONG nextLogin = 0;                                 // guarded by lock
  LONG nextHandle = 0;                                // guarded by lock
  std::map<LONG, std::shared_ptr<SdkLogin>> logins;   // guarded by lock
  std::map<LONG, StreamEntry> streams;                // guarded by lock
};

Tables& Shared() {
  static Tables tables;
  return tables;
}

BOOL Fail(DWORD code) {
  lastError = code;
  return FALSE;
}

LONG FailHandle(DWORD code) {
  lastError = code;
  return -1;
}

BOOL Succeed() {
  lastError = RNS_NOERROR;
  return TRUE;
}

// Takes out the streams that `pick` selects, to be stopped outside the lock.
template <typename Pick>
std::vector<std::shared_ptr<SdkStream>> TakeStreams(Tables& tables, Pick pick) {
  std::vector<std::shared_ptr<SdkStream>> taken;
  for (auto it = tables.streams.begin(); it != tables.streams.end();) {
    if (pick(it->first, it->second)) {
      taken.push_back(std::move(it->second.stream));
      it = tables.streams.erase(it);
    } else {
      ++it;
    }
  }
  return taken;
}

// The login, when the library is initialised and knows it; the error otherwise.
std::shared_ptr<SdkLogin> FindLogin(LONG loginId, DWORD& error) {
  Tables& tables = Shared();
  std::lock_guard guard(tables.lock);
  error = RNS_ERR_NOT_INIT;
  if (tables.initCount == 0) return nullptr;
  error = RNS_ERR_NOT_LOGGED_IN;
  const auto found = tables.logins.find(loginId);
  return found == tables.logins.end() ? nullptr : found->second;
}

std::shared_ptr<SdkStream> FindStream(LONG handle, StreamKind kind, LONG* loginId,
                                      DWORD& error) {
  Tables& tables = Shared();
  std::lock_guard guard(tables.lock);
  error = RNS_ERR_NOT_INIT;
  if (tables.initCount == 0) return nullptr;
  error = RNS_ERR_INVALID_HANDLE;
  const auto found = tables.streams.find(handle);
  if (found == tables.streams.end() || found->second.stream->Kind() != kind) return nullptr;
  if (loginId != nullptr) *loginId = found->second.loginId;
  return found->second.stream;
}

std::shared_ptr<SdkStream> TakeStream(LONG handle, StreamKind kind, DWORD& error) {
  Tables& tables = Shared();
  std::lock_guard guard(tables.lock);
  error = RNS_ERR_NOT_INIT;
  if (tables.initCount == 0) return nullptr;
  error = RNS_ERR_INVALID_HANDLE;
  const auto found = tables.streams.find(handle);
  if (found == tables.streams.end() || found->second.stream->Kind() != kind) return nullptr;
  std::shared_ptr<SdkStream> stream = std::move(found->second.stream);
  tables.streams.erase(found);
  return stream;
}

LONG OpenStream(LONG loginId, StreamKind kind, uint32_t type, const std::string& request) {
  DWORD error = 0;
  const auto login = FindLogin(loginId, error);
  if (!login) return FailHandle(error);
  std::shared_ptr<SdkStream> stream =
      SdkStream::Open(*login, kind, type, request, error);
  if (!stream) return FailHandle(error);
  Tables& tables = Shared();
  std::unique_lock guard(tables.lock);
  if (tables.initCount == 0 || tables.logins.count(loginId) == 0) {
    // Cleaned up or logged out while the recorder answered.
    guard.unlock();
    stream->Stop();
    return FailHandle(tables.initCount == 0 ? RNS_ERR_NOT_INIT : RNS_ERR_NOT_LOGGED_IN);
  }
  const LONG handle = tables.nextHandle++;
  tables.streams[handle] = StreamEntry{loginId, std::move(stream)};
  lastError = RNS_NOERROR;
  return handle;
}

BOOL SetCallBack(LONG handle, StreamKind kind, RNS_DataCallBack callBack, void* user) {
  DWORD error = 0;
  const auto stream = FindStream(handle, kind, nullptr, error);
  if (!stream) return Fail(error);
  stream->SetCallBack(handle, callBack, user);
  return Succeed();
}

BOOL StopStream(LONG handle, StreamKind kind) {
  DWORD error = 0;
  const auto stream = TakeStream(handle, kind, error);
  if (!stream) return Fail(error);
  stream->Stop();
  return Succeed();
}

void PutTime(devicewire::PayloadWriter& writer, const RNS_DEVICETIME& time) {
  writer.U32(time.year).U32(time.month).U32(time.day).U32(time.hour).U32(time.minute)
      .U32(time.second);
}

}  // namespace

RNS_API BOOL RNS_Init() {
  Tables& tables = Shared();
  std::lock_guard guard(tables.lock);
  ++tables.initCount;
  return Succeed();
}

RNS_API BOOL RNS_Cleanup() {
  Tables& tables = Shared();
  std::unique_lock guard(tables.lock);
  if (tables.initCount == 0) return Fail(RNS_ERR_NOT_INIT);
  if (--tables.initCount > 0) return Succeed();
  auto streams = TakeStreams(tables, [](LONG, const StreamEntry&) { return true; });
  auto logins = std::move(tables.logins);
  tables.logins.clear();
  guard.unlock();
  for (auto& stream : streams) stream->Stop();
  DWORD ignored = 0;
  for (auto& [id, login] : logins) login->Logout(ignored);
  return Succeed();
}

RNS_API DWORD RNS_GetLastError() { return lastError; }

RNS_API LONG RNS_Login(const char* host, WORD port, const char* user, const char* password,
                       RNS_DEVICEINFO* deviceInfo) {
  Tables& tables = Shared();
  {
    std::lock_guard guard(tables.lock);
    if (tables.initCount == 0) return FailHandle(RNS_ERR_NOT_INIT);
  }
  DWORD error = 0;
  auto login = SdkLogin::Open(host, port, user, password, error);
  if (!login) return FailHandle(error);
  if (deviceInfo != nullptr) *deviceInfo = RNS_DEVICEINFO{};
  std::unique_lock guard(tables.lock);
  if (tables.initCount == 0) {
    // Cleaned up while the recorder answered: the login would outlive the library.
    guard.unlock();
    login->Logout(error);
    return FailHandle(RNS_ERR_NOT_INIT);
  }
  const LONG id = tables.nextLogin++;
  tables.logins[id] = std::move(login);
  lastError = RNS_NOERROR;
  return id;
}

RNS_API BOOL RNS_Logout(LONG loginId) {
  Tables& tables = Shared();
  std::unique_lock guard(tables.lock);
  if (tables.initCount == 0) return Fail(RNS_ERR_NOT_INIT);
  const auto found = tables.logins.find(loginId);
  if (found == tables.logins.end()) return Fail(RNS_ERR_NOT_LOGGED_IN);
  const auto login = std::move(found->second);
  tables.logins.erase(found);
  auto streams =
      TakeStreams(tables, [loginId](LONG, const StreamEntry& e) { return e.loginId == loginId; });
  guard.unlock();
  for (auto& stream : streams) stream->Stop();
  DWORD error = 0;
  return login->Logout(error) ? Succeed() : Fail(error);
}

RNS_API LONG RNS_RealPlay(LONG loginId, RNS_CLIENTINFO* clientInfo) {
  if (clientInfo == nullptr || clientInfo->channel < 0 ||
      (clientInfo->linkMode != RNS_LINK_MAIN && clientInfo->linkMode != RNS_LINK_SUB))
    return FailHandle(RNS_ERR_PARAMETER);
  DWORD error = 0;
  const auto login = FindLogin(loginId, error);
  if (!login) return FailHandle(error);
  devicewire::PayloadWriter request;
  request.U32(login->Session()).U32(static_cast<uint32_t>(clientInfo->channel))
      .U32(clientInfo->linkMode);
  return OpenStream(loginId, StreamKind::Live, devicewire::kLive, request.Bytes());
}

RNS_API BOOL RNS_SetRealDataCallBack(LONG realHandle, RNS_DataCallBack callBack, void* user) {
  return SetCallBack(realHandle, StreamKind::Live, callBack, user);
}

RNS_API BOOL RNS_StopRealPlay(LONG realHandle) {
  return StopStream(realHandle, StreamKind::Live);
}

RNS_API LONG RNS_PlayBackByName(LONG loginId, const char* fileName, DWORD pace) {
  if (fileName == nullptr) return FailHandle(RNS_ERR_PARAMETER);
  DWORD error = 0;
  const auto login = FindLogin(loginId, error);
  if (!login) return FailHandle(error);
  devicewire::PayloadWriter request;
  request.U32(login->Session()).U32(pace).Text(fileName);
  return OpenStream(loginId, StreamKind::Playback, devicewire::kByName, request.Bytes());
}

RNS_API LONG RNS_PlayBackByTime(LONG loginId, LONG channel, RNS_DEVICETIME* start,
                                RNS_DEVICETIME* stop, DWORD pace) {
  if (start == nullptr || stop == nullptr || channel < 0) return FailHandle(RNS_ERR_PARAMETER);
  DWORD error = 0;
  const auto login = FindLogin(loginId, error);
  if (!login) return FailHandle(error);
  devicewire::PayloadWriter request;
  request.U32(login->Session()).U32(static_cast<uint32_t>(channel)).U32(pace);
  PutTime(request, *start);
  PutTime(request, *stop);
  return OpenStream(loginId, StreamKind::Playback, devicewire::kByTime, request.Bytes());
}

RNS_API BOOL RNS_PlayBackControl(LONG playHandle, DWORD command, DWORD inValue,
                                 DWORD* outValue) {
  DWORD error = 0;
  LONG loginId = -1;
  const auto stream = FindStream(playHandle, StreamKind::Playback, &loginId, error);
  if (!stream) return Fail(error);
  if (command == RNS_PLAY_GET_TOTAL_LEN) {
    // Known since the recorder opened the playback.
    if (outValue != nullptr) *outValue = stream->Seconds();
    return Succeed();
  }
  if (command == RNS_PLAY_SET_POS && inValue > 100) return Fail(RNS_ERR_PARAMETER);
  const auto login = FindLogin(loginId, error);
  if (!login) return Fail(error);
  uint32_t answer = 0;
  if (!login->Control(stream->RemoteId(), command, inValue, answer, error)) return Fail(error);
  if (outValue != nullptr) *outValue = answer;
  return Succeed();
}

RNS_API BOOL RNS_SetPlayDataCallBack(LONG playHandle, RNS_DataCallBack callBack, void* user) {
  return SetCallBack(playHandle, StreamKind::Playback, callBack, user);
}

RNS_API BOOL RNS_StopPlayBack(LONG playHandle) {
  return StopStream(playHandle, StreamKind::Playback);
}
