// qrlclient: the recorder maker's legacy stream client. A host starts a stream of one
// recorder channel with QLC_ClientStart_Other, which gives a stream index 0 to 15, starts the
// capture and receives the recorder stream through the stream's data callback: first the
// 40-byte FileHeader as one block of exactly 40 bytes, then the groups, cut anywhere.
//
// Conventions:
// - Every BOOL result is non-zero on success and FALSE on failure.
// - QLC_ClientStartup and QLC_ClientCleanup are counted: only the last QLC_ClientCleanup
//   stops every stream of the process. The other calls fail while the count is 0.
// - The data callback runs on a thread of the library, one per capturing stream; its bytes
//   are valid only during the call. QLC_ClientStopCapture and QLC_ClientStop return only
//   once a callback of that stream running on another thread has returned; a callback may
//   stop its own stream.
// - A header that is not 40 bytes long ends the capture: such a block never reaches the
//   callback, so a host never takes a shorter block for the header. A longer one is cut into
//   the 40-byte header block and a data block.
// - Every function may be called from any thread.
//
// Ports: the recorder is reached at the first port given to QLC_ClientSetNetPort and, when
// that refuses the connection, at the second. The environment variable QRLCLIENT_PORTS
// ("PORT" or "PORT,PORT"), read at each start, takes the place of both, so tests can run
// simulated recorders on free ports side by side.
//
// The wire protocol (TCP, one connection per stream). Every message is a frame: u32 type,
// u32 payload length, payload; integers little-endian, texts as u16 length + bytes.
//   START   (30) u8 channel, u8 protocol, u8 stream kind, code text, level text
//                -> OK (100) | ERROR (101): u32 code
//   CAPTURE (31) -: the recorder sends HEADER (20: the FileHeader), then STREAM (21) frames.
//   Closing the connection ends the stream.
#pragma once

#include "WinTypes.h"

#define QLC_API extern "C" __attribute__((visibility("default")))

constexpr LONG QLC_MAX_STREAMS = 16;  // stream indexes are 0 .. QLC_MAX_STREAMS - 1
constexpr DWORD QLC_VERSION = 101;    // the interface version QLC_ClientStartup expects
constexpr char QLC_PORTS_ENV[] = "QRLCLIENT_PORTS";

// QLC_STARTBLOCK::protocol and streamKind.
constexpr BYTE QLC_PROTOCOL_TCP = 1;
constexpr BYTE QLC_STREAM_MAIN = 0;

// What QLC_ClientStart_Other asks the recorder for.
struct QLC_STARTBLOCK {
  BYTE channel;     // the recorder's channel
  BYTE protocol;    // QLC_PROTOCOL_TCP (the only one supported)
  BYTE streamKind;  // QLC_STREAM_MAIN (the only one supported)
  BYTE reserved;
  const char* host;         // IPv4 text or name of the recorder
  const char* accessCode;   // three digits
  const char* accessLevel;  // one letter
  DWORD reserved2[2];       // 0
};

// Data callback: stream index, bytes, byte count.
using QLC_DataCallBack = void (*)(LONG streamIndex, BYTE* buffer, DWORD size);

// The recorder's ports (see "Ports" above); call before QLC_ClientStartup.
QLC_API BOOL QLC_ClientSetNetPort(WORD firstPort, WORD secondPort);
// `version` must be QLC_VERSION; `connectTimeout` is in tenths of a second (at least 1).
QLC_API BOOL QLC_ClientStartup(DWORD version, DWORD connectTimeout);
QLC_API BOOL QLC_ClientCleanup();
// Time to live of the stream packets, 1 to 255.
QLC_API BOOL QLC_ClientSetTTL(LONG ttl);

// Connects and asks for the stream; returns its index (0 to 15) or -1.
QLC_API LONG QLC_ClientStart_Other(QLC_STARTBLOCK* block, QLC_DataCallBack callBack);
QLC_API BOOL QLC_ClientStartCapture(LONG streamIndex);
QLC_API BOOL QLC_ClientStopCapture(LONG streamIndex);
// Ends the stream and frees its index.
QLC_API BOOL QLC_ClientStop(LONG streamIndex);
