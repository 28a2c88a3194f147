// The Windows base types the platform layer and the package are written in. WCHAR is UTF-16
// as on Windows; the "ANSI code page" is UTF-8.
#pragma once

#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using ULONG = uint32_t;
using LONG = int32_t;
using INT = int32_t;
using BOOL = int32_t;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using DWORD_PTR = uintptr_t;
using UINT_PTR = uintptr_t;
using LONG_PTR = intptr_t;
using WCHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
using REFERENCE_TIME = int64_t;  // 100 ns units

// Text literals of the UNICODE build: TEXT("x") is a WCHAR string.
using TCHAR = WCHAR;
using LPTSTR = LPWSTR;
using LPCTSTR = LPCWSTR;
#define TEXT(s) u##s

// 100 ns intervals since 1601-01-01 UTC, split as on Windows.
struct FILETIME {
  DWORD dwLowDateTime = 0;
  DWORD dwHighDateTime = 0;
};
using PFILETIME = FILETIME*;

// Accepted where Windows takes it; access control does not exist here, so it is ignored.
struct SECURITY_ATTRIBUTES {
  DWORD nLength = 0;
  LPVOID lpSecurityDescriptor = nullptr;
  BOOL bInheritHandle = 0;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// Window handles are plain integers: the GUI registers a frame sink under a handle and
// renderers paint into whatever sink owns the handle they were given.
using HWND = intptr_t;

#ifndef TRUE
constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
#endif
