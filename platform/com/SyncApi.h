// Sleeps, tick counts and Win32 events over the standard library.
//
// HANDLE here only ever names an event. Events are manual-reset (stay signalled until
// ResetEvent) or auto-reset (one successful wait consumes the signal).
#pragma once

#include "WinTypes.h"

using HANDLE = void*;

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED = 0x80;
constexpr DWORD WAIT_TIMEOUT = 0x102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

void Sleep(DWORD milliseconds);
// Milliseconds since an arbitrary start, wrapping at 2^32 like the Windows counter.
DWORD GetTickCount();
ULONGLONG GetTickCount64();

// `attributes` is ignored; `name` must be null (named events are not shared between
// processes here): otherwise nullptr with ERROR_NOT_SUPPORTED.
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manual_reset, BOOL initial_state,
                    LPCWSTR name);
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manual_reset, BOOL initial_state,
                    LPCSTR name);
inline HANDLE CreateEvent(LPSECURITY_ATTRIBUTES attributes, BOOL manual_reset, BOOL initial_state,
                          LPCWSTR name) {
  return CreateEventW(attributes, manual_reset, initial_state, name);
}
// FALSE with ERROR_INVALID_HANDLE for a handle that is not an open event.
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
// WAIT_OBJECT_0 when signalled, WAIT_TIMEOUT after `milliseconds` (INFINITE waits for ever),
// WAIT_FAILED for an invalid handle.
DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);
