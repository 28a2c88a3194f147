// What the two recorder SDK sessions share: the callback table through which the SDK's data
// callback finds a session's feed (the SDK's user value carries the table key), the data
// callback itself, the process-wide count of playing live views, the login, and the trace
// texts.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "CallbackTable.h"
#include "RecorderNetSdk.h"

namespace netsource {

// The table of recorder SDK sessions; its keys travel as the SDK's user value.
CallbackTable& RecorderCallbacks();
void* RecorderUserValue(int32_t key);

// The SDK's data callback for both kinds: header blocks (type 1) and stream data (type 2).
void RecorderDataCallBack(LONG handle, DWORD dataType, BYTE* buffer, DWORD size, void* user);

// Live views that are playing, over the whole process.
std::atomic<int>& LiveSessionCount();

// A recorder channel and the account that logs in to its recorder; what live views and
// playbacks are opened with.
struct RecorderAccount {
  std::string host;
  WORD port = 0;
  LONG channel = 0;
  std::string user;
  std::string password;
};

// Logs in; on failure traces why (wrong user or password, or network / busy) and gives -1.
LONG RecorderLogin(const RecorderAccount& account);
// Logs out, tracing a failure; true on success.
bool RecorderLogout(LONG loginId);

}  // namespace netsource
