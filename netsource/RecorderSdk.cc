#include "RecorderSdk.h"

#include "recorder/Trace.h"

namespace netsource {

CallbackTable& RecorderCallbacks() {
  static CallbackTable table;
  return table;
}

void* RecorderUserValue(int32_t key) {
  return reinterpret_cast<void*>(static_cast<intptr_t>(key));
}

void RecorderDataCallBack(LONG, DWORD dataType, BYTE* buffer, DWORD size, void* user) {
  const auto key = static_cast<int32_t>(reinterpret_cast<intptr_t>(user));
  const CallbackTable::Lease feed = RecorderCallbacks().Find(key);
  if (!feed) return;
  if (dataType == RNS_DATA_HEADER) feed->OnHeaderBlock(buffer, size);
  else if (dataType == RNS_DATA_STREAM) feed->OnStreamBlock(buffer, size);
}

std::atomic<int>& LiveSessionCount() {
  static std::atomic<int> count{0};
  return count;
}

LONG RecorderLogin(const RecorderAccount& account) {
  RNS_DEVICEINFO info{};
  const LONG loginId = RNS_Login(account.host.c_str(), account.port, account.user.c_str(),
                                 account.password.c_str(), &info);
  if (loginId >= 0) return loginId;
  if (RNS_GetLastError() == RNS_ERR_PASSWORD)
    recorder::Trace("用户名或密码错误, 登录失败");
  else
    recorder::Trace("由于网络原因或DVR忙, 登录失败");
  return -1;
}

bool RecorderLogout(LONG loginId) {
  if (RNS_Logout(loginId)) return true;
  recorder::Trace("注销用户失败");
  return false;
}

}  // namespace netsource
