// RecorderNetSdk: the recorder maker's network SDK. A host logs in to a recorder, starts a
// live view of one of its channels (main or sub-stream) or a playback of one of its
// recordings (by file name or by time span), and receives the recorder stream through a data
// callback: first the 40-byte FileHeader as one block of type RNS_DATA_HEADER, then the
// groups, cut anywhere, as blocks of type RNS_DATA_STREAM.
//
// Conventions:
// - Every BOOL result is non-zero on success and FALSE on failure; after a failure
//   RNS_GetLastError tells why (an RNS_ERR_ code). Handles and login identifiers are
//   non-negative; -1 reports failure.
// - RNS_Init and RNS_Cleanup are counted: each RNS_Init needs one RNS_Cleanup, and only the
//   last RNS_Cleanup stops every stream and logout of the process. Every other call fails
//   with RNS_ERR_NOT_INIT while the count is 0.
// - Data callbacks run on a thread of the library, one per stream; the bytes of a call are
//   valid only during the call. A stream delivers nothing until a callback is set; setting
//   none holds the stream back again (nothing is lost, the recorder waits).
// - RNS_SetRealDataCallBack, RNS_SetPlayDataCallBack, RNS_StopRealPlay and RNS_StopPlayBack
//   return only once a callback of that stream running on another thread has returned: no
//   callback of a stream starts after its stop call has returned. A callback may call them
//   for its own stream (they then do not wait for itself).
// - A header block shorter than 40 bytes is a broken recorder: it ends the stream and never
//   reaches the callback.
// - Every function may be called from any thread.
//
// The wire protocol (TCP to the recorder's SDK port). Every message is a frame: u32 type,
// u32 payload length, payload; integers little-endian, texts as u16 length + bytes.
//   Control connection, one per login, request and answer in turn:
//     LOGIN    (1)  user, password                 -> OK: u32 session | ERROR: u32 code
//     CONTROL  (2)  u32 stream, u32 command, u32 value -> OK: u32 value | ERROR: u32 code
//     LOGOUT   (3)  -                              -> OK, then the recorder closes
//   Stream connection, one per live view or playback, opened with one request:
//     LIVE     (10) u32 session, u32 channel, u32 link mode -> OK: u32 stream | ERROR
//     BY_NAME  (11) u32 session, u32 pace %, name            -> OK: u32 stream, u32 seconds
//     BY_TIME  (12) u32 session, u32 channel, u32 pace %, start DeviceTime, stop DeviceTime
//                                                            -> OK: u32 stream, u32 seconds
//   then the recorder sends HEADER (20: the FileHeader) and STREAM (21: stream bytes) frames,
//   and END (22) when a playback has reached its end (it stays open: RNS_PLAY_SET_POS jumps
//   back into it). A live view sends at once; a playback waits for RNS_PLAY_START. Closing
//   the stream connection ends the stream.
//   OK is 100, ERROR 101. Frames above RNS_WIRE_MAX_PAYLOAD bytes end the connection.
#pragma once

#include "WinTypes.h"

#define RNS_API extern "C" __attribute__((visibility("default")))

// Data callback types.
constexpr DWORD RNS_DATA_HEADER = 1;  // the 40-byte FileHeader (longer blocks: its first 40)
constexpr DWORD RNS_DATA_STREAM = 2;  // stream bytes

// Live view link modes (RNS_CLIENTINFO::linkMode).
constexpr DWORD RNS_LINK_MAIN = 0;           // the channel's main stream
constexpr DWORD RNS_LINK_SUB = 0x80000000u;  // the channel's smaller second stream

// Playback control commands (RNS_PlayBackControl).
constexpr DWORD RNS_PLAY_START = 1;         // start delivering (input 0)
constexpr DWORD RNS_PLAY_PAUSE = 3;         // hold delivery
constexpr DWORD RNS_PLAY_RESUME = 4;        // resume after RNS_PLAY_PAUSE
constexpr DWORD RNS_PLAY_SET_POS = 12;      // jump to input percent (0 to 100) of the length
constexpr DWORD RNS_PLAY_GET_TOTAL_LEN = 17;  // output: the length in whole seconds

// The pace passed to the playback calls: percent of real time (100: as recorded).
constexpr DWORD RNS_PACE_REAL_TIME = 100;

// Error codes (RNS_GetLastError).
constexpr DWORD RNS_NOERROR = 0;
constexpr DWORD RNS_ERR_PASSWORD = 1;         // wrong user name or password
constexpr DWORD RNS_ERR_NOT_INIT = 3;         // RNS_Init has not been called
constexpr DWORD RNS_ERR_CONNECT = 7;          // the recorder cannot be reached
constexpr DWORD RNS_ERR_NETWORK = 10;         // the connection broke or timed out
constexpr DWORD RNS_ERR_BUSY = 11;            // the recorder refused the request
constexpr DWORD RNS_ERR_PARAMETER = 17;       // a bad argument
constexpr DWORD RNS_ERR_NOT_LOGGED_IN = 18;   // unknown login identifier
constexpr DWORD RNS_ERR_INVALID_HANDLE = 19;  // unknown live or playback handle
constexpr DWORD RNS_ERR_CHANNEL = 20;         // the recorder has no such channel
constexpr DWORD RNS_ERR_NO_FILE = 21;         // no recording of that name or time
constexpr DWORD RNS_ERR_COMMAND = 23;         // an unknown playback command

// Filled by RNS_Login with what the recorder tells of itself (54 bytes).
struct RNS_DEVICEINFO {
  BYTE serialNumber[48];
  BYTE alarmInCount;
  BYTE alarmOutCount;
  BYTE diskCount;
  BYTE deviceType;
  BYTE channelCount;
  BYTE startChannel;
};

// A live view request.
struct RNS_CLIENTINFO {
  LONG channel;     // the recorder's channel number
  DWORD linkMode;   // RNS_LINK_MAIN or RNS_LINK_SUB
  LONG window;      // 0: no rendering by the library (the only value supported)
  char* multicastAddress;  // nullptr: unicast (the only value supported)
};

// A recorder clock time (local calendar time of the recorder).
struct RNS_DEVICETIME {
  DWORD year;  // four digits
  DWORD month;  // 1 to 12
  DWORD day;    // 1 to 31
  DWORD hour;   // 0 to 23
  DWORD minute;
  DWORD second;
};

// Data callback: handle of the stream, RNS_DATA_ type, bytes, byte count, user value.
using RNS_DataCallBack = void (*)(LONG handle, DWORD dataType, BYTE* buffer, DWORD size,
                                  void* user);

// ---- Library and login --------------------------------------------------------------------

RNS_API BOOL RNS_Init();
RNS_API BOOL RNS_Cleanup();
RNS_API DWORD RNS_GetLastError();  // of the calling thread

// Logs in to the recorder at host:port (IPv4 text or name); `deviceInfo` may be null.
// Returns the login identifier or -1 (RNS_ERR_PASSWORD for a wrong pair).
RNS_API LONG RNS_Login(const char* host, WORD port, const char* user, const char* password,
                       RNS_DEVICEINFO* deviceInfo);
// Stops the login's streams and logs out.
RNS_API BOOL RNS_Logout(LONG loginId);

// ---- Live view ----------------------------------------------------------------------------

RNS_API LONG RNS_RealPlay(LONG loginId, RNS_CLIENTINFO* clientInfo);
RNS_API BOOL RNS_SetRealDataCallBack(LONG realHandle, RNS_DataCallBack callBack, void* user);
RNS_API BOOL RNS_StopRealPlay(LONG realHandle);

// ---- Playback -----------------------------------------------------------------------------

// Opens the recording `fileName` (its name on the recorder); -1 with RNS_ERR_NO_FILE when the
// recorder has none of that name. `pace` is percent of real time (RNS_PACE_REAL_TIME).
RNS_API LONG RNS_PlayBackByName(LONG loginId, const char* fileName, DWORD pace);
// Opens what channel `channel` recorded from `start` to `stop`.
RNS_API LONG RNS_PlayBackByTime(LONG loginId, LONG channel, RNS_DEVICETIME* start,
                                RNS_DEVICETIME* stop, DWORD pace);
// One RNS_PLAY_ command; `outValue` (may be null) receives the answer's value.
RNS_API BOOL RNS_PlayBackControl(LONG playHandle, DWORD command, DWORD inValue,
                                 DWORD* outValue);
RNS_API BOOL RNS_SetPlayDataCallBack(LONG playHandle, RNS_DataCallBack callBack, void* user);
RNS_API BOOL RNS_StopPlayBack(LONG playHandle);
