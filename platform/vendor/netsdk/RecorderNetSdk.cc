#include "RecorderNetSdk.h"

// First cut: every call fails until the device link lands.
namespace {
thread_local DWORD lastError = RNS_NOERROR;
BOOL Fail(DWORD code) {
  lastError = code;
  return FALSE;
}
}  // namespace

RNS_API BOOL RNS_Init() { return TRUE; }
RNS_API BOOL RNS_Cleanup() { return TRUE; }
RNS_API DWORD RNS_GetLastError() { return lastError; }
RNS_API LONG RNS_Login(const char*, WORD, const char*, const char*, RNS_DEVICEINFO*) {
  Fail(RNS_ERR_CONNECT);
  return -1;
}
RNS_API BOOL RNS_Logout(LONG) { return Fail(RNS_ERR_NOT_LOGGED_IN); }
RNS_API LONG RNS_RealPlay(LONG, RNS_CLIENTINFO*) { Fail(RNS_ERR_NOT_LOGGED_IN); return -1; }
RNS_API BOOL RNS_SetRealDataCallBack(LONG, RNS_DataCallBack, void*) {
  return Fail(RNS_ERR_INVALID_HANDLE);
}
RNS_API BOOL RNS_StopRealPlay(LONG) { return Fail(RNS_ERR_INVALID_HANDLE); }
RNS_API LONG RNS_PlayBackByName(LONG, const char*, DWORD) {
  Fail(RNS_ERR_NOT_LOGGED_IN);
  return -1;
}
RNS_API LONG RNS_PlayBackByTime(LONG, LONG, RNS_DEVICETIME*, RNS_DEVICETIME*, DWORD) {
  Fail(RNS_ERR_NOT_LOGGED_IN);
  return -1;
}
RNS_API BOOL RNS_PlayBackControl(LONG, DWORD, DWORD, DWORD*) {
  return Fail(RNS_ERR_INVALID_HANDLE);
}
RNS_API BOOL RNS_SetPlayDataCallBack(LONG, RNS_DataCallBack, void*) {
  return Fail(RNS_ERR_INVALID_HANDLE);
}
RNS_API BOOL RNS_StopPlayBack(LONG) { return Fail(RNS_ERR_INVALID_HANDLE); }
